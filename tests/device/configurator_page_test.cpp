// The device window's configurator: its pages by state, Back and Next, the
// fields and their masks, defaults, row shapes, the make-file page with its
// boxes and signatures, and files written and read.
#include "device/configurator_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "device/field_display.h"
#include "view_form_fixture.h"

namespace frosk::test {
namespace {

const QColor kGreen{0, 255, 0};
const QColor kRed{255, 0, 0};

class ConfiguratorViewTest : public FroskTecViewFormTest {
 protected:
  // A controller with this module, read, its window on the configurator's start page.
  void OpenConfigurator(int moduleType, const std::function<void(FakeDevice&)>& prepare = {}) {
    settings_.ServiceMode = true;
    Open(moduleType, prepare);
    Find<QPushButton>("ConfiguratorBitBtn")->click();
    AnswerLast();
    ASSERT_EQ(Page(), ConfigPage::kStart);
    TakeSent();
  }
  ConfigPage Page() { return static_cast<ConfigPage>(Find<QStackedWidget>("ConfigNotebook")->currentIndex()); }
  void ShowState(uint8_t state) { ASSERT_TRUE(Engine().ShowConfiguratorPage(static_cast<SequenceState>(state))); }
  void Click(const char* button) { Find<QPushButton>(button)->click(); }
  void Choose(const char* list, int index) {
    Find<QComboBox>(list)->setCurrentIndex(index);
    emit Find<QComboBox>(list)->activated(index);
  }
  bool Ticked(const char* box) { return Find<QCheckBox>(box)->isChecked(); }
  std::string Held(Group group, Key field) { return Engine().Holder(group, field)->ValueToText(); }
};

TEST_F(ConfiguratorViewTest, TheStartPageShowsOnceTheControllerIsInServiceMode) {
  settings_.ServiceMode = true;
  Open(3);
  Click("ConfiguratorBitBtn");
  EXPECT_EQ(Find<QStackedWidget>("ViewNotebook")->currentIndex(), 2);
  EXPECT_EQ(Page(), ConfigPage::kWait);
  EXPECT_EQ(Find<QLabel>("ConfigWaitLabel")->text(), "Please wait...");
  EXPECT_FALSE(Enabled("ConfigBackBitBtn"));
  EXPECT_FALSE(Enabled("ConfigNextBitBtn"));
  const std::vector<std::vector<uint8_t>> sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(SentRecord<ServiceModeRecord>(sent[0]).enable, 1);
  AnswerLast();
  EXPECT_EQ(Page(), ConfigPage::kStart);
  EXPECT_TRUE(Enabled("ConfigDeviceLoadButton"));

  // The device read again ends on the start page.
  Click("ConfigDeviceLoadButton");
  EXPECT_EQ(Page(), ConfigPage::kWait);
  while (Engine().Waiting()) AnswerLast();
  EXPECT_EQ(Page(), ConfigPage::kStart);
  EXPECT_EQ(TakeSentKeys().size(), ReadingSequence(3).size() - 1);

  host_.linked = false;
  Engine().Refresh();
  EXPECT_FALSE(Enabled("ConfigDeviceLoadButton"));
  Click("UserViewBitBtn");
  EXPECT_EQ(Find<QStackedWidget>("ViewNotebook")->currentIndex(), 0);
  EXPECT_TRUE(Engine().ControllerInServiceMode()) << "leaving by User View keeps service mode";
}

TEST_F(ConfiguratorViewTest, TheControllerPageShowsItsFieldsAndTakesOnlyWholePossibleEntries) {
  OpenConfigurator(3);
  Click("ConfigWizzardButton");
  ASSERT_EQ(Page(), ConfigPage::kDeviceIden);
  EXPECT_EQ(EditText("CDeviceIdenSerialMaskEdit"), "000123456-07");
  EXPECT_EQ(EditText("CDeviceIdenNameEdit"), "FroskTEC");
  EXPECT_EQ(EditText("CConnectedModuleTypeEdit"), "VELTRA");
  QComboBox* variant = Find<QComboBox>("CFrosktecConfigVariantComboBox");
  EXPECT_EQ(variant->itemText(2), "ADVANCED");
  EXPECT_EQ(variant->currentIndex(), 0);
  EXPECT_EQ(Find<QCheckBox>("CFrosktecConfigNoMemCompatibleCheckBox")->text(), "Combatible with NOMEM Modules");
  EXPECT_TRUE(Ticked("CFrosktecConfigNoMemCompatibleCheckBox"));

  Engine().DeviceIden().At(DEVICE_IDEN_SERIAL).SetFromText("123456789");
  Engine().Refresh();
  EXPECT_EQ(Find<QLineEdit>("CDeviceIdenSerialMaskEdit")->displayText(), "123456789-__");
  const struct {
    const char* field;
    const char* typed;
    Key key;
    const char* kept;
  } entries[] = {
      {"CDeviceIdenSerialMaskEdit", "000654321-02", DEVICE_IDEN_SERIAL, "654321-02"},
      {"CDeviceIdenSerialMaskEdit", "12345", DEVICE_IDEN_SERIAL, "654321-02"},
      {"CDeviceIdenSerialMaskEdit", "001234567-89", DEVICE_IDEN_SERIAL, "001234567"},
      {"CDeviceIdenProdDateMaskEdit", "2024-02-29", DEVICE_IDEN_PROD_DATE, "2024-02-29"},
      {"CDeviceIdenProdDateMaskEdit", "2023-02-29", DEVICE_IDEN_PROD_DATE, "2024-02-29"},
      {"CDeviceIdenHardVerEdit", "7", DEVICE_IDEN_HARD_VER, "7"},
  };
  for (const auto& entry : entries) {
    TypeInto(entry.field, entry.typed);
    EXPECT_EQ(Held(Group::kDeviceIden, entry.key), entry.kept) << entry.typed;
  }
  EXPECT_EQ(EditText("CDeviceIdenProdDateMaskEdit"), "2024-02-29") << "an impossible date is not kept";
  Choose("CFrosktecConfigVariantComboBox", 2);
  EXPECT_EQ(Engine().FroskTecConfig().At(FROSKTEC_CONFIG_VARIANT).GetAsInt(), 2);

  Click("CDeviceIdenDefaultButton");
  EXPECT_EQ(EditText("CDeviceIdenNameEdit"), "FroskTEC");
  EXPECT_EQ(EditText("CDeviceIdenSerialMaskEdit"), "000000000-00");
  EXPECT_EQ(EditText("CDeviceIdenProdDateMaskEdit"), "2026-03-14");
  EXPECT_EQ(variant->currentIndex(), 0);
  EXPECT_FALSE(Ticked("CFrosktecConfigNoMemCompatibleCheckBox"));
  wall_.Set({2027, 11, 5, 0, 0, 0});
  Click("CDeviceIdenProdDateTodayBtn");
  EXPECT_EQ(EditText("CDeviceIdenProdDateMaskEdit"), "2027-11-05");
  EXPECT_TRUE(TakeSent().empty()) << "nothing is sent before Next";
}

TEST_F(ConfiguratorViewTest, BackFromTheModuleIdentificationPageDependsOnNomemCompatibility) {
  for (const bool compatible : {true, false}) {
    OpenConfigurator(2, [&](FakeDevice& device) {
      device.Hold(GET_FROSKTEC_CONFIG, ReplyItem(FroskTecConfigRecord{0, compatible}));
    });
    ShowState(32);
    ASSERT_EQ(Page(), ConfigPage::kModuleIden);
    EXPECT_EQ(Find<QLabel>("CModuleIdenLabel")->text(), "1WIRE Module Identification Data:");
    Click("ConfigBackBitBtn");
    EXPECT_EQ(Page(), compatible ? ConfigPage::kModuleParams : ConfigPage::kDeviceIden) << compatible;
    EXPECT_EQ(Engine().SequenceState(),
              compatible ? SequenceState::kConfiguratorNoMemParams : SequenceState::kConfiguratorDeviceIden);
  }
}

TEST_F(ConfiguratorViewTest, NextOnAParametersPageMakesTheUserSetTheDefaultsAlsoWithoutALink) {
  OpenConfigurator(1);
  host_.linked = false;
  ShowState(27);
  ASSERT_EQ(Page(), ConfigPage::kModuleParams);
  EXPECT_EQ(Find<QLabel>("CModuleParamsLabel")->text(), "NOMEM Module Basic Params:");
  EXPECT_EQ(EditText("CModuleParamsDefaultUSupPlusEdit"), "10.000");
  TypeInto("CModuleParamsDefaultUSupPlusEdit", "11.5");
  ASSERT_NE(Engine().NoMemUserSet().ToRecord(), Engine().NoMemDefault().ToRecord());
  Click("ConfigNextBitBtn");
  EXPECT_EQ(Engine().NoMemUserSet().At(MODULE_BASIC_PARAMS_U_SUP_PLUS).GetAsInt(), 11500);
  EXPECT_EQ(Engine().NoMemUserSet().ToRecord(), Engine().NoMemDefault().ToRecord());
  EXPECT_EQ(Page(), ConfigPage::kModuleIden);
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(ConfiguratorViewTest, ARowShapeIsGreenWhileTheRowIsConsistentAndRedOtherwise) {
  OpenConfigurator(1);
  Engine().NoMemDefault().At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(230000);
  Engine().NoMemUserMin().At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(220000);
  Engine().NoMemUserMax().At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(300000);
  ShowState(27);
  EXPECT_EQ(Background("CModuleParamsTDetShape"), kGreen);
  TypeInto("CModuleParamsDefaultTDetEdit", "210");
  EXPECT_EQ(Background("CModuleParamsTDetShape"), kRed);
  prompter_.shown.clear();
  Click("ConfigNextBitBtn");
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_TRUE(prompter_.shown[0].text.starts_with("Values outside their limits, nothing was sent:\rNoMemDefault "))
      << prompter_.shown[0].text;
  EXPECT_EQ(Page(), ConfigPage::kModuleParams) << "a red row is not left";
  EXPECT_TRUE(TakeSent().empty());
  TypeInto("CModuleParamsUserMinTDetEdit", "200");
  EXPECT_EQ(Background("CModuleParamsTDetShape"), kGreen);

  // A list keeps its choice within the field's limits in service mode.
  Choose("CModuleParamsDefaultSupCtrlComboBox", 2);
  EXPECT_EQ(Engine().NoMemDefault().At(MODULE_BASIC_PARAMS_SUP_CTRL).GetAsInt(), 2);

  Engine().VeltraUserMax().At(MODULE_VELTRA_PARAMS_BW).SetFromInt(2);
  ShowState(39);
  EXPECT_EQ(Background("CVeltraParamsGainShape"), QColor(192, 192, 192)) << "the VELTRA rows are not judged";
  EXPECT_EQ(Find<QComboBox>("CVeltraParamsUserMaxBwComboBox")->currentIndex(), 2);
}

TEST_F(ConfiguratorViewTest, TheWaitPageNamesTheRecordTheWizardWrites) {
  OpenConfigurator(0);
  Click("ConfigWizzardButton");
  Click("ConfigNextBitBtn");
  ASSERT_EQ(Page(), ConfigPage::kWait);
  // The controller NOMEM compatible: its own two records and the five NOMEM ones.
  EXPECT_EQ(Find<QLabel>("ConfigWaitProgressLabel")->text(), "Writing record 1 of 7: SET_DEVICE_IDEN");
  AnswerLast();
  EXPECT_EQ(Find<QLabel>("ConfigWaitProgressLabel")->text(), "Writing record 2 of 7: SET_FROSKTEC_CONFIG");
}

TEST_F(ConfiguratorViewTest, AllAndNoneTickByTheDevicesLastReadAlsoWithoutALink) {
  OpenConfigurator(2);  // NOMEM compatible, a 1WIRE module
  host_.linked = false;
  Click("ConfigMakeFileButton");
  ASSERT_EQ(Page(), ConfigPage::kMakeFile);
  EXPECT_TRUE(Enabled("ConfigBackBitBtn"));
  EXPECT_FALSE(Enabled("ConfigNextBitBtn"));
  Find<QCheckBox>("ConfigMakeDeviceSignatureCheckBox")->click();
  Click("ConfigMakeAllButton");
  const struct {
    const char* box;
    bool all;
  } boxes[] = {
      {"ConfigMakeDeviceIdenCheckBox", true},     {"ConfigMakeFrosktecConfigCheckBox", true},
      {"ConfigMakeModNoMemIdenCheckBox", true},   {"ConfigMakeModNoMemUserMaxCheckBox", true},
      {"ConfigMakeModuleIdenCheckBox", true},     {"ConfigMakeModuleUserSetCheckBox", true},
      {"ConfigMakeVeltraDefaultCheckBox", false}, {"ConfigMakeVeltraUserMaxCheckBox", false},
  };
  for (const auto& box : boxes) {
    EXPECT_EQ(Ticked(box.box), box.all) << box.box;
    EXPECT_TRUE(Enabled(box.box)) << box.box << ": without a link every box serves";
  }
  EXPECT_EQ(Find<QCheckBox>("ConfigMakeModNoMemIdenCheckBox")->text(), "Idenfication Data");
  Click("ConfigMakeNoneButton");
  for (const auto& box : boxes) EXPECT_FALSE(Ticked(box.box)) << box.box;
  EXPECT_TRUE(Ticked("ConfigMakeDeviceSignatureCheckBox")) << "None leaves the signatures";

  host_.linked = true;
  Engine().Refresh();
  EXPECT_FALSE(Enabled("ConfigMakeVeltraDefaultCheckBox"));
  EXPECT_TRUE(Enabled("ConfigMakeModNoMemDefaultCheckBox"));
  EXPECT_TRUE(Enabled("ConfigMakeModuleSignatureEdit"));
  EXPECT_TRUE(Enabled("ConfigMakeModuleSignatureGenerateButton"));
}

TEST_F(ConfiguratorViewTest, GenerateSignsTheSerialEnteredInTheDialog) {
  OpenConfigurator(3);
  Engine().DeviceIden().At(DEVICE_IDEN_SERIAL).SetFromText("000001-01");
  Click("ConfigMakeFileButton");
  EXPECT_EQ(EditText("ConfigMakeDeviceSignatureEdit").toStdString(),
            SignatureText(Engine().DeviceCheck().At(DEVICE_CHECK_VALUE)));
  for (const bool ok : {true, false}) {
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(serialDialog_.isVisible());
      EXPECT_EQ(serialDialog_.findChild<QLineEdit*>("Serial1MaskEdit")->text(), "000001");
      QLineEdit* number = serialDialog_.findChild<QLineEdit*>("Serial1MaskEdit");
      number->setText(ok ? "123456" : "999999");
      QTest::keyClick(number, Qt::Key_Return);
      QLineEdit* suffix = serialDialog_.findChild<QLineEdit*>("Serial2MaskEdit");
      suffix->setText("07");
      QTest::keyClick(suffix, Qt::Key_Return);
      serialDialog_.findChild<QPushButton*>(ok ? "OkBtn" : "CancelBtn")->click();
    });
    Click("ConfigMakeDeviceSignatureGenerateButton");
    EXPECT_EQ(EditText("ConfigMakeDeviceSignatureEdit"), "0000B6A9") << ok;
  }
  EXPECT_EQ(Engine().DeviceIden().At(DEVICE_IDEN_SERIAL).ValueToText(), "000001-01");
}

TEST_F(ConfiguratorViewTest, ASignatureFieldTakesHexadecimalDigitsAndDropsAnythingElse) {
  OpenConfigurator(3);
  Click("ConfigMakeFileButton");
  const struct {
    const char* typed;
    const char* shown;
  } entries[] = {{"abcd", "0000ABCD"},
                 {"xyz!", "0000ABCD"},
                 {"", "0000ABCD"},
                 {"1234567890", "0000ABCD"},
                 {" 00c0ffee ", "0000FFEE"}};
  for (const auto& entry : entries) {
    TypeInto("ConfigMakeModuleSignatureEdit", entry.typed);
    EXPECT_EQ(EditText("ConfigMakeModuleSignatureEdit"), entry.shown) << entry.typed;
    EXPECT_EQ(SignatureText(Engine().ModuleCheck().At(MODULE_CHECK_VALUE)), entry.shown) << entry.typed;
  }
}

TEST_F(ConfiguratorViewTest, AWrittenFileShowsItsTreeAndReadsBackAsTheFilesValues) {
  OpenConfigurator(3);
  const std::string file = dir_.Path() + "made.froskconfig";
  Click("ConfigMakeFileButton");
  Click("ConfigMakeAllButton");
  Find<QCheckBox>("ConfigMakeDeviceSignatureCheckBox")->click();
  prompter_.fileNames = {file};
  Click("ConfigMakeWriteButton");
  ASSERT_EQ(Page(), ConfigPage::kReadFile);
  EXPECT_EQ(prompter_.shown.back(), (ScriptedPrompter::Shown{"Configuration written to file.", 0x40}));
  QTreeWidget* tree = Find<QTreeWidget>("ConfigFileTreeView");
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  ASSERT_EQ(tree->topLevelItem(0)->childCount(), 17);
  EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "SET_DEVICE_IDEN (container)");
  EXPECT_EQ(tree->topLevelItem(0)->child(16)->text(0), "DEVICE_CHECK (container)");

  Click("ConfigBackBitBtn");
  EXPECT_EQ(Page(), ConfigPage::kStart);
  EXPECT_FALSE(Find<QLabel>("ConfigFileViewLabel")->isVisible());
  Engine().DeviceIden().At(DEVICE_IDEN_NAME).SetFromText("changed");
  prompter_.fileNames = {file};
  Click("ConfigReadFileButton");
  EXPECT_EQ(Page(), ConfigPage::kReadFile);
  EXPECT_EQ(prompter_.shown.back(), (ScriptedPrompter::Shown{"File loaded.", 0x40}));
  EXPECT_EQ(tree->topLevelItem(0)->childCount(), 17);
  EXPECT_TRUE(Find<QLabel>("ConfigFileViewLabel")->isVisible());
  EXPECT_TRUE(Find<QLabel>("ConfigFileViewLabel")->text().contains(QString::fromStdString(file)));

  // The pages show the file; the holders keep what they had.
  Click("ConfigBackBitBtn");
  Click("ConfigWizzardButton");
  EXPECT_EQ(EditText("CDeviceIdenNameEdit"), "FroskTEC");
  EXPECT_EQ(Engine().DeviceIden().At(DEVICE_IDEN_NAME).ValueToText(), "changed");

  // The file's signature replaces the one the page shows.
  Click("ConfigBackBitBtn");
  Click("ConfigMakeFileButton");
  TypeInto("ConfigMakeDeviceSignatureEdit", "1111");
  prompter_.fileNames = {file};
  Click("ConfigMakeDeviceSignatureLoadButton");
  EXPECT_EQ(EditText("ConfigMakeDeviceSignatureEdit"), "0000B6A9");
  EXPECT_TRUE(TakeSent().empty()) << "files are not sent from here";

  // Leaving reads the device again, and the pages show it once more.
  Click("UserViewBitBtn");
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_SERVICE_MODE});
  ReadToEnd();
  Click("ConfiguratorBitBtn");
  AnswerLast();
  Click("ConfigWizzardButton");
  EXPECT_FALSE(Find<QLabel>("ConfigFileViewLabel")->isVisible());
  EXPECT_EQ(EditText("CDeviceIdenNameEdit"), "FroskTEC") << "as the device reported it";
}

TEST_F(ConfiguratorViewTest, NoCaptionOfTheServiceViewOrTheConfiguratorIsClipped) {
  OpenConfigurator(2);
  // The service view is built when first shown.
  Click("UserViewBitBtn");
  Click("ServiceViewBitBtn");
  const auto fits = [](const QWidget* widget, const QString& text, int room) {
    return widget->fontMetrics().horizontalAdvance(text) <= room;
  };
  for (const char* pageName : {"ServiceViewPage", "ConfiguratorPage"}) {
    QWidget* page = Find<QWidget>(pageName);
    for (const QLabel* label : page->findChildren<QLabel*>())
      EXPECT_TRUE(fits(label, label->text(), label->contentsRect().width() - 4)) << label->objectName().toStdString();
    for (const QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
      const bool box = qobject_cast<const QCheckBox*>(button) != nullptr;
      const int needed = box ? button->sizeHint().width() : button->fontMetrics().horizontalAdvance(button->text()) + 8;
      EXPECT_LE(needed, button->width()) << button->objectName().toStdString();
    }
    for (const QGroupBox* group : page->findChildren<QGroupBox*>())
      EXPECT_TRUE(fits(group, group->title(), group->width() - 16)) << group->objectName().toStdString();
    // A tab widget's own bar is laid out only when shown: its room is the widget's width.
    for (const QTabBar* bar : page->findChildren<QTabBar*>()) {
      const auto* tabs = qobject_cast<const QTabWidget*>(bar->parentWidget());
      const int room = tabs != nullptr ? tabs->width() : bar->width();
      for (int i = 0; i < bar->count(); ++i)
        EXPECT_LE(bar->tabRect(i).right(), room) << bar->objectName().toStdString() << " " << i;
    }
  }
  for (const char* label : {"CModuleIdenLabel", "CModuleParamsLabel"}) {
    QLabel* heading = Find<QLabel>(label);
    for (const char* text : {"1WIRE Module Identification Data:", "NOMEM Module Basic Params:"})
      EXPECT_TRUE(fits(heading, text, heading->width())) << label;
  }
}

}  // namespace
}  // namespace frosk::test
