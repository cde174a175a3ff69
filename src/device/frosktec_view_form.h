#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "common/wall_clock.h"
#include "device/device_connection.h"
#include "device/traffic_trees.h"
#include "settings/settings_store.h"

class QLabel;
class QPushButton;
class QStackedWidget;

namespace frosk {

class ConfiguratorPage;
class DeviceTrends;
class RecordingButtons;
class ServiceViewPage;
class TTrendsForm;
class TEnterSerialForm;
class TEnterValueForm;
class UserViewPage;

// What every device window shares with the rest of the program besides the
// engine's seams: the dialogs made at start-up and the calendar of "Today".
struct DeviceWindowShared {
  TEnterValueForm& valueDialog;
  TEnterSerialForm& serialDialog;
  const WallClock& wallClock;
  // The program's settings record: the folder recordings go to.
  Settings& settings;
};

// One connected controller's window: the notebook of its three pages, which
// the engine's ViewPage picks. Page 0 is the user view, pages 1 and 2 the
// service view and the configurator. Its title names the device and its port,
// and it opens a step away from the last device window, so none hides
// another. It shows one device's connection, which outlives it; the discovery
// engine owns both through the device's entry. The close box only hides it.
class TFroskTecViewForm : public QWidget, public DeviceWindow {
  Q_OBJECT

 public:
  // The service buttons follow the ServiceMode setting as it is when the
  // window is made.
  TFroskTecViewForm(DeviceConnection& connection, const DeviceWindowShared& shared, QWidget* parent = nullptr);
  ~TFroskTecViewForm() override;

  DeviceConnection& Connection() { return connection_; }
  DeviceEngine& Engine() { return connection_.Engine(); }
  ConfigFileEngine& ConfigFiles() { return connection_.ConfigFiles(); }

  void Show() override;
  void Hide() override;
  bool IsVisible() const override;
  void ShowTrends() override;

  DeviceTrends& Trends() { return *trends_; }
  // Null until the trends window is first shown.
  TTrendsForm* TrendsForm() const { return trendsForm_.get(); }

  // True while the user view's gain list has the focus.
  bool GainComboEditing() const;

  // How long the status line tells a write's outcome before the link's
  // health again.
  static constexpr uint32_t kWriteResultShownMs = 5000;

 public slots:
  void FormShow();
  void UserViewBitBtnClick();
  void ShowTrendsBitBtnClick();
  void ReadAgainBitBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout(bool serviceSetting);
  // The service view and the configurator are built when first shown: most
  // windows never show them, and they hold most of a window's controls.
  QWidget* PageWidget(int page);
  void BuildTrendsButtons(QWidget* page);
  void BuildLinkStatus(QWidget* page);
  void EngineRefreshed(GroupMask stored);
  // The status line: the link's health, or for a while after a write whether
  // the device applied it. While the device does not answer, the monitor
  // values are drawn stale.
  void ShowLinkStatus();
  void HealthChanged(const LinkHealth& health);
  void WriteFinished(const RequestOutcome& outcome);
  // "Read again" is offered once a group read before is unread again (a write
  // or a poll went unanswered), while nothing else is under way.
  void ShowReadAgain();
  // "FroskTEC - NAME SERIAL (PORT)" once the controller's identification is
  // read, "FroskTEC (PORT)" before; a window without a port is "FroskTEC".
  void ShowTitle();
  void PlaceAmongOthers();

  DeviceConnection& connection_;
  const DeviceWindowShared shared_;
  // The trends sample from the moment the device connects; their window
  // goes first.
  std::unique_ptr<DeviceTrends> trends_;
  std::unique_ptr<TTrendsForm> trendsForm_;
  int listenerId_ = 0;
  bool identified_ = false;
  bool placed_ = false;
  // Every group read since the window was made.
  GroupMask readOnce_ = 0;
  struct WriteResult {
    bool applied;
    uint32_t at;
  };
  std::optional<WriteResult> lastWrite_;
  // The engine's traffic while the ServiceMode setting is on, which the
  // service view shows.
  TrafficTrees traffic_;

  QStackedWidget* viewNotebook_;
  UserViewPage* userPage_;
  ServiceViewPage* servicePage_ = nullptr;
  ConfiguratorPage* configuratorPage_ = nullptr;
  QPushButton* showTrendsBitBtn_;
  RecordingButtons* recordingButtons_;
  QLabel* linkStatusLabel_;
  QPushButton* readAgainBitBtn_;
};

// Makes the device window of every device the discovery engine connects or
// shows, and shows it. What the windows share is the program's and outlives
// the factory.
DeviceWindowFactory FroskTecViewFormFactory(DeviceWindowShared shared);

}  // namespace frosk
