// The trends window over a connection the test feeds, and the device
// window's way to it and to a recording.
#include "trends/trends_form.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <algorithm>

#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"
#include "engine_fixture.h"
#include "support/event_pump.h"
#include "trends/trend_chart_view.h"

namespace frosk::test {
namespace {

using namespace key;

class TrendsFormTest : public ::testing::Test {
 protected:
  TrendsFormTest() {
    connection_->Open();
    form_ = std::make_unique<TFroskTecViewForm>(*connection_, shared_);
    Engine().SetDeviceMonitorAuto(false);
    Engine().SetModuleMonitorAuto(false);
  }

  DeviceEngine& Engine() { return connection_->Engine(); }
  void Reply(const std::vector<uint8_t>& item, uint32_t afterMs = 100) {
    clock_.Advance(afterMs);
    FakeConnectionHost::Deliver(*connection_, item.data());
  }
  // A cool-down: ten seconds of cooling, then locked.
  void CoolDown() {
    for (int i = 0; i < 100; ++i) {
      device_.SetMonitor(kModuleNoMem, i < 40 ? kStatusCooling : kStatusTemperatureLocked);
      device_.monitor.tDet = 290'000 - std::min(i, 40) * 1500;
      Reply(ReplyItem(device_.monitor));
    }
  }
  TTrendsForm& Trends() {
    form_->findChild<QPushButton*>("ShowTrendsBitBtn")->click();
    return *form_->TrendsForm();
  }

  TempDir dir_;
  Folders folders_ = Folders::Beside(dir_.Path());
  ManualTickClock clock_{1000};
  FixedWallClock wall_{{2026, 3, 14, 9, 0, 0}};
  ScriptedPrompter prompter_;
  CountingBeeper beeper_;
  Settings settings_;
  FakeConnectionHost host_{settings_};
  FakeDevice device_{kModuleNoMem};
  TEnterValueForm valueDialog_{prompter_};
  TEnterSerialForm serialDialog_;
  DeviceWindowShared shared_{valueDialog_, serialDialog_, wall_, settings_};
  std::unique_ptr<DeviceConnection> connection_ =
      std::make_unique<DeviceConnection>("ttyFAKE0", host_, DeviceSeams{clock_, prompter_, beeper_, folders_}, host_);
  std::unique_ptr<TFroskTecViewForm> form_;
};

TEST_F(TrendsFormTest, ACoolDownIsChartedWithItsStatusChangesAndLockTime) {
  CoolDown();
  TTrendsForm& trends = Trends();
  ASSERT_TRUE(trends.isVisible());
  EXPECT_EQ(trends.findChild<QLabel*>("TrendsLockTimeLabel")->text(), "Lock time: 4.0 s");
  EXPECT_TRUE(trends.Following());
  EXPECT_EQ(trends.ToMs() - trends.FromMs(), 600'000) << "ten minutes at first";

  const TrendChartView* temperature = trends.ChartView(0);
  ASSERT_EQ(temperature->LinesOf(0).size(), 1);
  const QLineSeries* line = temperature->LinesOf(0).front();
  const QList<QPointF> points = line->points();
  const auto [lowest, highest] = std::minmax_element(points.begin(), points.end(),
                                                     [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
  EXPECT_DOUBLE_EQ(highest->y(), 290.0);
  EXPECT_DOUBLE_EQ(lowest->y(), 230.0);
  EXPECT_DOUBLE_EQ(line->at(line->count() - 1).y(), 230.0);
  EXPECT_FALSE(trends.ChartView(3)->isVisible()) << "no module monitor, no module charts";

  // The device stops answering, then answers again: the lines break.
  Engine().SendRequest(GET_FROSKTEC_MONITOR);
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  connection_->Tick();
  clock_.Advance(5000);
  Reply(ReplyItem(device_.monitor));
  trends.Redraw();
  EXPECT_EQ(temperature->LinesOf(0).size(), 2);
}

TEST_F(TrendsFormTest, TheSpanListFollowsAndADraggedRangeStaysUntilFollowAgain) {
  CoolDown();
  TTrendsForm& trends = Trends();
  trends.findChild<QComboBox*>("TrendsSpanComboBox")->setCurrentText("1 min");
  EXPECT_EQ(trends.ToMs() - trends.FromMs(), 60'000);

  trends.ChartRangeChosen(2000, 5000);
  EXPECT_FALSE(trends.Following());
  auto* pause = trends.findChild<QPushButton*>("TrendsPauseBitBtn");
  EXPECT_EQ(pause->text(), "Follow");
  CoolDown();
  trends.Redraw();
  EXPECT_EQ(trends.FromMs(), 2000);
  EXPECT_EQ(trends.ToMs(), 5000);

  pause->click();
  EXPECT_TRUE(trends.Following());
  EXPECT_EQ(pause->text(), "Pause");
  EXPECT_EQ(trends.ToMs() - trends.FromMs(), 60'000);
  pause->click();
  EXPECT_FALSE(trends.Following());
}

TEST_F(TrendsFormTest, RecordStartsAndStopsARecordingThatTheTrendsWindowShows) {
  settings_.RecordingFolder = dir_.Path() + "runs";
  TTrendsForm& trends = Trends();
  auto* record = form_->findChild<QPushButton*>("RecordBitBtn");
  record->click();
  ASSERT_TRUE(form_->Trends().Recording().Recording());
  EXPECT_EQ(record->text(), "Stop Recording");
  EXPECT_EQ(trends.findChild<QPushButton*>("RecordBitBtn")->text(), "Stop Recording") << "both windows show it";
  Reply(ReplyItem(device_.monitor));
  const QString shown = trends.findChild<QLabel*>("TrendsRecordingLabel")->text();
  EXPECT_TRUE(shown.startsWith("Recording to " + QString::fromStdString(form_->Trends().Recording().Path())))
      << shown.toStdString();

  trends.findChild<QPushButton*>("RecordBitBtn")->click();
  EXPECT_FALSE(form_->Trends().Recording().Recording());
  EXPECT_EQ(record->text(), "Record");
  EXPECT_TRUE(trends.findChild<QLabel*>("TrendsRecordingLabel")->text().startsWith("Recorded to "));
}

TEST_F(TrendsFormTest, TheChartsExportAsAPngPictureAndAFailureIsNamed) {
  CoolDown();
  TTrendsForm& trends = Trends();
  const std::string picture = dir_.Path() + "trends.png";
  prompter_.fileNames = {picture, dir_.Path() + "missing/trends.png"};
  auto* exportButton = trends.findChild<QPushButton*>("TrendsExportBitBtn");
  exportButton->click();
  EXPECT_FALSE(QPixmap(QString::fromStdString(picture)).isNull());
  EXPECT_TRUE(prompter_.shown.empty());
  exportButton->click();
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, "Export failed !\r" + dir_.Path() + "missing/trends.png could not be written.");
}

}  // namespace
}  // namespace frosk::test
