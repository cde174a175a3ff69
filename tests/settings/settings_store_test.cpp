#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <map>

#include "support/temp_dir.h"

namespace frosk {
namespace {

// Every test gets its own empty per-user store in a temporary folder.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home_.Path()));
  }

  static constexpr const char* kStore = "DROV System/FroskManager.conf";

  void WriteStore(const std::string& text) const { home_.Write(kStore, text); }

  // The stored values as text, read back by a store of its own.
  std::map<std::string, std::string> ReadStore() const {
    std::map<std::string, std::string> values;
    QSettings store(QString::fromStdString(home_.Path() + kStore), QSettings::IniFormat);
    for (const QString& key : store.allKeys()) values[key.toStdString()] = store.value(key).toString().toStdString();
    return values;
  }

  test::TempDir home_;
};

TEST_F(SettingsStoreTest, FirstRunKeepsTheDefaultsAndSavingCreatesTheThreeValues) {
  Settings settings;
  settings.PortsList = "COM9";
  ResetSettings(settings);
  EXPECT_FALSE(LoadSettings(settings));
  EXPECT_EQ(settings, Settings{});
  EXPECT_TRUE(settings.UpdatesAutoCheck);
  EXPECT_FALSE(settings.UseSpecificPorts);
  EXPECT_FALSE(settings.ServiceMode);

  ASSERT_TRUE(SaveSettings(settings));
  const std::map<std::string, std::string> stored = {
      {"Settings/UpdatesAutoCheck", "1"}, {"Settings/UseSpecificPorts", "0"}, {"Settings/PortsList", ""}};
  EXPECT_EQ(ReadStore(), stored);
}

TEST_F(SettingsStoreTest, ServiceModeAloneIsReadAndNeverWritten) {
  WriteStore("[Settings]\nServiceMode=1\n");
  Settings settings;
  ASSERT_TRUE(LoadSettings(settings));
  Settings expected;
  expected.ServiceMode = true;
  EXPECT_EQ(settings, expected);

  settings.ServiceMode = false;  // the settings dialog's "Default" resets it for this run only
  settings.UseSpecificPorts = true;
  settings.PortsList = "COM1,COM3";
  ASSERT_TRUE(SaveSettings(settings));

  EXPECT_EQ(ReadStore()["Settings/ServiceMode"], "1");
  Settings next;
  ASSERT_TRUE(LoadSettings(next));
  EXPECT_TRUE(next.ServiceMode);
  EXPECT_TRUE(next.UseSpecificPorts);
  EXPECT_EQ(next.PortsList, "COM1,COM3");
}

TEST_F(SettingsStoreTest, ValuesOfTheWrongTypeKeepTheirFields) {
  // An unquoted list comes back from the store as several strings; flags may
  // be written by hand as words.
  WriteStore("[Settings]\nUpdatesAutoCheck=maybe\nUseSpecificPorts=true\nPortsList=COM1,,ttyUSB0\nServiceMode=7\n");
  Settings settings;
  ASSERT_TRUE(LoadSettings(settings));
  EXPECT_TRUE(settings.UpdatesAutoCheck);
  EXPECT_TRUE(settings.UseSpecificPorts);
  EXPECT_EQ(settings.PortsList, "COM1,,ttyUSB0");
  EXPECT_TRUE(settings.ServiceMode);

  WriteStore("[Settings]\nUpdatesAutoCheck=false\nUseSpecificPorts=0\nPortsList=@Invalid()\n");
  ASSERT_TRUE(LoadSettings(settings));
  EXPECT_FALSE(settings.UpdatesAutoCheck);
  EXPECT_FALSE(settings.UseSpecificPorts);
  EXPECT_EQ(settings.PortsList, "COM1,,ttyUSB0");
}

TEST_F(SettingsStoreTest, APortsListTooLongForTheRecordKeepsWholeNames) {
  std::string list;
  while (list.size() < 1100) list += "ttyUSB1234,";
  WriteStore("[Settings]\nPortsList=\"" + list + "\"\n");
  Settings settings;
  ASSERT_TRUE(LoadSettings(settings));
  EXPECT_LE(settings.PortsList.size(), kPortsListCapacity);
  EXPECT_EQ(settings.PortsList.size() % 11, 10u);
  EXPECT_EQ(PortsListToStrings(settings).size(), (settings.PortsList.size() + 1) / 11);
}

TEST(PortsListTest, EmptyPiecesAreLeftOutAndNamesKeptAsWritten) {
  struct Case {
    const char* list;
    std::vector<std::string> names;
  } cases[] = {
      {",COM3,,COM7,", {"COM3", "COM7"}},
      {"", {}},
      {",,,", {}},
      {"COM1", {"COM1"}},
      {" COM1,/dev/pts/4", {" COM1", "/dev/pts/4"}},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.PortsList = c.list;
    EXPECT_EQ(PortsListToStrings(settings), c.names) << c.list;
  }
}

// The port dialog's choice goes into the record the same way: names that
// would not fit whole are left out rather than cut.
TEST(PortsListTest, JoinedNamesKeepWholeNamesWithinTheRecord) {
  EXPECT_EQ(JoinPortNames({"COM2", "COM10", "/dev/pts/4"}), "COM2,COM10,/dev/pts/4");
  EXPECT_EQ(JoinPortNames({}), "");
  const std::vector<std::string> many(200, "ttyUSB1234");
  const std::string list = JoinPortNames(many);
  EXPECT_LE(list.size(), kPortsListCapacity);
  EXPECT_EQ(list.size() % 11, 10u);
  Settings settings;
  settings.PortsList = list;
  EXPECT_EQ(PortsListToStrings(settings), std::vector<std::string>(93, "ttyUSB1234"));
}

}  // namespace
}  // namespace frosk
