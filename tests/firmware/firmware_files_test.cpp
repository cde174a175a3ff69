#include "firmware/firmware_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace frosk {
namespace {

class FirmwareFilesTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  Folders folders_ = Folders::Beside(dir_.Path());
};

TEST_F(FirmwareFilesTest, InfoFilesGiveTheFirstFirmVerLine) {
  struct Case {
    const char* content;
    int version;
  } cases[] = {
      {"FirmVer=12\r\n", 12},
      {"Name=QUVA\nfirmver = 13\nFirmVer=14\n", 13},
      {"FirmVer=twelve\n", 0},
      {"FirmVer=\n", 0},
      {"Version=12\n", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    dir_.Write("firmware/FroskTec.info", c.content);
    EXPECT_EQ(FirmwareFileVersion(folders_, 1), c.version) << c.content;
  }
}

TEST_F(FirmwareFilesTest, NamesAreFoundWithoutRegardToCase) {
  dir_.Write("firmware/frosktecv2.INFO", "FIRMVER=7\n");
  dir_.Write("firmware/FROSKTECV2.hex", ":00000001FF\n");
  EXPECT_EQ(FirmwareFileVersion(folders_, 4), 7);
  EXPECT_EQ(FirmwareFilePath(folders_, 4), dir_.Path() + "firmware/FROSKTECV2.hex");
  EXPECT_EQ(FirmwareFilePath(folders_, 3), dir_.Path() + "firmware/Kaz.hex");
}

TEST_F(FirmwareFilesTest, AMissingInfoFileIsReportedNotGuessed) {
  EXPECT_EQ(FirmwareFileVersion(folders_, 3), std::nullopt);
  EXPECT_EQ(InfoFilePath(folders_, 3), dir_.Path() + "firmware/Kaz.info");
  EXPECT_EQ(UnreadableInfoFileMessage("/x/Kaz.info"), "Firmware information file is missing or unreadable:\r/x/Kaz.info");
  dir_.Write("firmware/Kaz.info/inside", "a folder where the file should be");
  EXPECT_EQ(FirmwareFileVersion(folders_, 3), std::nullopt);
}

TEST_F(FirmwareFilesTest, TypesWithoutFilesReadAsVersionZero) {
  for (int type : {0, 2, 5, 7}) {
    EXPECT_EQ(FirmwareFileVersion(folders_, type), 0) << type;
    EXPECT_EQ(FirmwareFilePath(folders_, type), "") << type;
  }
  EXPECT_TRUE(IsKnownDeviceType(2));
  EXPECT_FALSE(IsKnownDeviceType(7));
}

TEST_F(FirmwareFilesTest, TargetsHaveTheirDefaultFiles) {
  const std::string f = dir_.Path() + "firmware/";
  const std::string expected[] = {"", f + "FroskTecV2.hex", f + "FroskTec.hex", f + "Kaz.hex", "",
                                  f + "FroskTecV2_xboot.hex", f + "FroskTec_xboot.hex", ""};
  for (int target = 0; target <= 7; ++target) EXPECT_EQ(TargetDefaultFile(folders_, target), expected[target]);
}

TEST(FirmwareFolderTest, TheShippedInfoFilesMatchTheSimulatorDefaults) {
  const Folders repository = Folders::Beside(FROSK_SOURCE_DIR);
  EXPECT_EQ(FirmwareFileVersion(repository, 1), 12);
  EXPECT_EQ(FirmwareFileVersion(repository, 4), 12);
  EXPECT_EQ(FirmwareFileVersion(repository, 3), 5);
}

}  // namespace
}  // namespace frosk
