#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/serial_port.h"
#include "support/fake_sysfs.h"

namespace frosk {
namespace {

using test::FakeSysfs;

TEST(PortListTest, ListsPresentOnBoardPortsThenAdaptersInNaturalOrder) {
  FakeSysfs sysfs;
  sysfs.Add("console");
  sysfs.Add("tty0");
  sysfs.Add("ptmx");
  sysfs.Add("ttyS10", true, "4", true);
  sysfs.Add("ttyS0", true, "4", true);
  sysfs.Add("ttyS1", true, "0", true);  // a phantom: the serial core found no UART
  sysfs.Add("ttyS2");                   // no device at all
  sysfs.Add("ttyS3", true, nullptr, true);
  sysfs.Add("ttyS4", true);
  sysfs.Add("ttyUSB10");
  sysfs.Add("ttyUSB2");
  sysfs.Add("ttyACM0");
  sysfs.Add("ttyUSBx");

  std::vector<std::string> ports = {"kept"};
  EXPECT_EQ(EnumerateComPorts(&ports, sysfs.Root()), 0);
  EXPECT_EQ(ports, (std::vector<std::string>{"kept", "COM1", "COM4", "COM11", "ttyACM0", "ttyUSB2", "ttyUSB10"}));
}

TEST(PortListTest, AnEmptyListIsNoFailureButAnUnreadableOneIs) {
  FakeSysfs sysfs;
  std::vector<std::string> ports;
  EXPECT_EQ(EnumerateComPorts(&ports, sysfs.Root()), 0);
  EXPECT_TRUE(ports.empty());

  ports = {"kept"};
  EXPECT_EQ(EnumerateComPorts(&ports, sysfs.Root() + "/missing"), 1);
  EXPECT_EQ(ports, std::vector<std::string>{"kept"});
  EXPECT_EQ(EnumerateComPorts(nullptr, sysfs.Root()), 0);
}

}  // namespace
}  // namespace frosk
