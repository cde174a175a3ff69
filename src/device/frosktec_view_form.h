#pragma once

#include <QWidget>

#include "common/wall_clock.h"
#include "device/device_connection.h"

class QPushButton;
class QStackedWidget;

namespace frosk {

class ConfiguratorPage;
class ServiceViewPage;
class TEnterSerialForm;
class TEnterValueForm;
class UserViewPage;

// What every device window shares with the rest of the program besides the
// engine's seams: the dialogs made at start-up and the calendar of "Today".
struct DeviceWindowShared {
  TEnterValueForm& valueDialog;
  TEnterSerialForm& serialDialog;
  const WallClock& wallClock;
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

  // True while the user view's gain list has the focus.
  bool GainComboEditing() const;

 public slots:
  void FormShow();
  void UserViewBitBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout(bool serviceSetting);
  void EngineRefreshed(GroupMask stored);
  // "FroskTEC - NAME SERIAL (PORT)" once the controller's identification is
  // read, "FroskTEC (PORT)" before; a window without a port is "FroskTEC".
  void ShowTitle();
  void PlaceAmongOthers();

  DeviceConnection& connection_;
  const DeviceWindowShared shared_;
  int listenerId_ = 0;
  bool identified_ = false;
  bool placed_ = false;

  QStackedWidget* viewNotebook_;
  UserViewPage* userPage_;
  ServiceViewPage* servicePage_;
  ConfiguratorPage* configuratorPage_;
  QPushButton* userViewBitBtn_;
  QPushButton* userView1BitBtn_;
};

// Makes the device window of every device the discovery engine connects or
// shows, and shows it. What the windows share is the program's and outlives
// the factory.
DeviceWindowFactory FroskTecViewFormFactory(DeviceWindowShared shared);

}  // namespace frosk
