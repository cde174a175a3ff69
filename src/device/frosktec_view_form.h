#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "common/wall_clock.h"
#include "device/device_connection.h"
#include "device/slider_drawing.h"
#include "settings/settings_store.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace frosk {

class ConfiguratorPage;
class DeviceTrends;
class RecordingButtons;
class ServiceViewPage;
class TTrendsForm;
class SliderImage;
class TEnterSerialForm;
class TEnterValueForm;

// What every device window shares with the rest of the program besides the
// engine's seams: the dialogs made at start-up and the calendar of "Today".
struct DeviceWindowShared {
  TEnterValueForm& valueDialog;
  TEnterSerialForm& serialDialog;
  const WallClock& wallClock;
  // The program's settings record: the folder recordings go to.
  Settings& settings;
};

// One connected controller's window: the device engine with its pages. Page 0
// is the user view, which shows the controller's and the module's state and
// turns the user's clicks, drags and entries into the engine's setpoint
// operations; pages 1 and 2 hold the service view and the configurator. It
// shows one device's connection, which outlives it; the discovery engine owns
// both through the device's entry. The close box only hides it.
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

  // True while the gain list has the focus: polls then leave its selection alone.
  bool GainComboEditing() const { return gainComboEditing_; }

  // Which write a setting's change is followed by: the controller's user set
  // or the VELTRA module's.
  enum class Side { kController, kModule };
  // The lines of the user view, as the tables of the form's source give them.
  struct NumericSetting;
  struct ChoiceSetting;
  struct MonitorLine;

 public slots:
  void FormShow();
  void AnyScrollBarImageMouseDown(Qt::MouseButtons buttons, int x);
  void AnyScrollBarImageMouseMove(Qt::MouseButtons buttons, int x);
  void AnyScrollBarImageMouseUp();
  void AnySetpointDecIncButtonClick();
  void AnyUserEditButtonClick();
  void AnyUserSpeedButtonClick();
  void AnyUserComboBoxChange();
  void SetpointGainComboBoxEnter();
  void SetpointGainComboBoxExit();
  void AnyUserCheckBoxClick();
  void LoadConfigurationBitBtnClick();
  void SaveConfigurationBitBtnClick();
  void DeviceSettingsWriteBitBtnClick();
  void DeviceSettingsDefaultBitBtnClick();
  void ModuleSettingsWriteBitBtnClick();
  void ModuleSettingsDefaultBitBtnClick();
  void ModuleUserSetBitBtnClick();
  void ServiceViewBitBtnClick();
  void ConfiguratorBitBtnClick();
  void ServiceModeCheckBoxClick();
  void UserViewBitBtnClick();
  void ShowTrendsBitBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls of one numeric setting line.
  struct NumericRow {
    const NumericSetting* setting;
    QLabel* caption;
    QLabel* panel;
    QLabel* unit;  // none on the module's lines
    QPushButton* edit;
    QPushButton* dec;
    QPushButton* inc;
    SliderImage* image;
  };
  struct ChoiceRow {
    const ChoiceSetting* setting;
    QLabel* caption;
    std::vector<QToolButton*> buttons;
  };
  struct MonitorRow {
    const MonitorLine* line;
    QLabel* caption;
    QLabel* panel;
    QLabel* unit;
  };
  // The derived flags and switches the whole page depends on; when one of
  // them changes, every area is brought up to date.
  struct PageState {
    bool viewReady, controllerReady, veltraReady, tecPresent, thermistorPresent, serviceMode;
    int snapshot;
    bool operator==(const PageState&) const = default;
  };

  void BuildLayout(bool serviceSetting);
  QWidget* BuildControllerPanel(QWidget* page);
  QWidget* BuildAmplifierPanel(QWidget* page);
  void BuildBottomBar(QWidget* page, bool serviceSetting);
  void BuildTrendsButtons(QWidget* page);
  void BuildLoadProgress(QWidget* page);
  QFrame* AddArea(QWidget* parent, const char* name, const QRect& geometry, const char* headingName,
                  const char* heading);
  NumericRow AddNumericRow(QWidget* area, const NumericSetting& setting, int y);
  ChoiceRow AddChoiceRow(QWidget* area, const ChoiceSetting& setting, int y);
  MonitorRow AddMonitorRow(QWidget* area, const MonitorLine& line, int y);
  void SetUnitLabels();
  void FillGainList();
  void WireActions();

  void EngineRefreshed(GroupMask stored);
  void RefreshUserView(GroupMask stored);
  PageState CurrentState();
  void RefreshControllerHeader(const PageState& state);
  void RefreshControllerSettings(const PageState& state);
  void RefreshControllerMonitor(const PageState& state);
  void RefreshModuleHeader(const PageState& state);
  void RefreshModuleSettings(const PageState& state);
  void RefreshModuleMonitor(const PageState& state);
  void RefreshMonitorAutoBoxes(const PageState& state);
  void RefreshLoadProgress();
  // A line's texts and colours, its controls' enabling and its slider.
  void ShowNumericRow(const NumericRow& row, const QColor& areaColour, bool enabled, bool valueShown, bool coloured);
  void ShowChoiceRow(const ChoiceRow& row, bool ready, bool serviceMode);
  // After the view changed a holder itself: every area is redrawn, since the
  // engine's mask only names what the device stored.
  void RefreshAfterEdit();

  // The engine's setting of a line's field.
  DeviceEngine::Setting Holders(Key field) { return *Engine().UserSetting(field); }
  const NumericRow* RowOfImage(const QObject* image) const;
  void DragSlider(const QObject* image, Qt::MouseButtons buttons, int x);

  DeviceConnection& connection_;
  const DeviceWindowShared shared_;
  // The trends sample from the moment the device connects; their window
  // goes first.
  std::unique_ptr<DeviceTrends> trends_;
  std::unique_ptr<TTrendsForm> trendsForm_;
  TEnterValueForm& valueDialog_;
  int listenerId_ = 0;
  bool gainComboEditing_ = false;
  GroupMask dirty_ = 0;
  std::optional<PageState> shown_;

  QStackedWidget* viewNotebook_;
  QFrame* controllerPowerPanel_;
  QFrame* moduleSettingsPanel_;
  QLabel* deviceNamePanel_;
  QLabel* deviceSerialPanel_;
  QPushButton* loadConfigurationBitBtn_;
  QPushButton* saveConfigurationBitBtn_;
  QLabel* loadConfigurationProgressLabel_;
  std::vector<NumericRow> numericRows_;
  std::vector<ChoiceRow> choiceRows_;
  std::vector<MonitorRow> monitorRows_;
  QPushButton* deviceSettingsWriteBitBtn_;
  QPushButton* deviceSettingsDefaultBitBtn_;
  QCheckBox* deviceMonitorAutoCheckBox_;
  QLabel* monitorStatusStaticText_;
  QLabel* monitorStatusPanel_;
  QLabel* monitorInfoPanel_;
  std::array<QLabel*, 4> moduleHeaderCaptions_;
  std::array<QLabel*, 4> moduleHeaderPanels_;
  QLabel* moduleUserSetLabel_;
  QComboBox* moduleUserSetIndexComboBox_;
  QPushButton* moduleUserSetLoadBitBtn_;
  QPushButton* moduleUserSetStoreBitBtn_;
  QComboBox* setpointGainComboBox_;
  QLabel* setpointGainMulLabel_;
  QPushButton* moduleSettingsWriteBitBtn_;
  QPushButton* moduleSettingsDefaultBitBtn_;
  QCheckBox* moduleMonitorAutoCheckBox_;
  QPushButton* serviceViewBitBtn_;
  QPushButton* configuratorBitBtn_;
  QCheckBox* serviceModeCheckBox_;
  QPushButton* userViewBitBtn_;
  QPushButton* userView1BitBtn_;
  ServiceViewPage* servicePage_;
  ConfiguratorPage* configuratorPage_;
  QPushButton* showTrendsBitBtn_;
  RecordingButtons* recordingButtons_;
};

// Makes the device window of every device the discovery engine connects or
// shows, and shows it. What the windows share is the program's and outlives
// the factory.
DeviceWindowFactory FroskTecViewFormFactory(DeviceWindowShared shared);

}  // namespace frosk
