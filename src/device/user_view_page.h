#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "device/config_file_engine.h"
#include "device/device_engine.h"
#include "device/slider_drawing.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QToolButton;

namespace frosk {

class SliderImage;
class TEnterValueForm;

// The device window's user view (ViewPage 0), the one page an ordinary user
// sees: the controller's and the module's state, and their settings, which it
// turns the user's clicks, drags and entries into the engine's setpoint
// operations for. It keeps no device state; each refresh redraws the areas
// whose groups the device stored since the page last showed them.
class UserViewPage : public QWidget {
  Q_OBJECT

 public:
  // The service buttons follow the ServiceMode setting as it is when the page
  // is made. `valueDialog` is the program's one value dialog.
  UserViewPage(DeviceEngine& engine, ConfigFileEngine& files, TEnterValueForm& valueDialog, bool serviceSetting,
               QWidget* parent);

  // The groups a device reply stored: their areas are redrawn at the next refresh.
  void Stored(GroupMask stored) { dirty_ |= stored; }
  // The page's part of the engine's refresh while it is shown.
  void Refresh();
  // As the window shows: the gain list is the device's again and every area is redrawn.
  void FormShow();

  // While the device does not answer, the monitor values are the last it
  // gave: they are drawn greyed so no one takes them for live ones.
  void SetStale(bool stale) { stale_ = stale; }
  // At the connection's tick: a held "-" or "+" repeats, and keys that have
  // rested on a slider send its setting.
  void Tick();
  static constexpr uint32_t kKeyRestMs = 300;
  static constexpr uint32_t kRepeatDelayMs = 400;
  static constexpr int32_t kMaxRepeatStride = 1000;

  // True while the gain list has the focus: polls then leave its selection alone.
  bool GainComboEditing() const { return gainComboEditing_; }

  // Which write a setting's change is followed by: the controller's user set
  // or the VELTRA module's.
  enum class Side { kController, kModule };
  // The lines of the page, as the tables of its source give them.
  struct NumericSetting;
  struct ChoiceSetting;
  struct MonitorLine;

 public slots:
  void AnyScrollBarImageMouseDown(Qt::MouseButtons buttons, int x);
  void AnyScrollBarImageMouseMove(Qt::MouseButtons buttons, int x);
  void AnyScrollBarImageMouseUp();
  void AnySetpointDecIncButtonDown();
  void AnySetpointDecIncButtonUp();
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

 protected:
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
    bool stale;
    bool operator==(const PageState&) const = default;
  };

  void BuildLayout(bool serviceSetting);
  QWidget* BuildControllerPanel();
  QWidget* BuildAmplifierPanel();
  void BuildBottomBar(bool serviceSetting);
  QFrame* AddArea(QWidget* parent, const char* name, const QRect& geometry, const char* headingName,
                  const char* heading);
  NumericRow AddNumericRow(QWidget* area, const NumericSetting& setting, int y);
  ChoiceRow AddChoiceRow(QWidget* area, const ChoiceSetting& setting, int y);
  MonitorRow AddMonitorRow(QWidget* area, const MonitorLine& line, int y);
  void SetUnitLabels();
  void FillGainList();
  void WireActions();

  PageState CurrentState() const;
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
  // After the page changed a holder itself: every area is redrawn, since the
  // engine's mask only names what the device stored.
  void RefreshAfterEdit();

  // The engine's setting of a line's field.
  DeviceEngine::Setting Holders(Key field) { return *engine_.UserSetting(field); }
  const NumericRow* RowOfImage(const QObject* image) const;
  void DragSlider(const QObject* image, Qt::MouseButtons buttons, int x);
  bool SliderKey(const NumericRow& row, int key);
  // Sends the setting keys moved, once they rested (or `now`).
  void SendRestedKeys(bool now);
  void StepHeld(int32_t stride);

  struct HeldButton {
    const NumericRow* row;
    int direction;
    uint32_t since;
    bool changed;
  };
  std::optional<HeldButton> held_;
  const NumericRow* keyedRow_ = nullptr;
  uint32_t keyedSince_ = 0;

  DeviceEngine& engine_;
  ConfigFileEngine& files_;
  TEnterValueForm& valueDialog_;
  bool gainComboEditing_ = false;
  bool stale_ = false;
  GroupMask dirty_ = 0;
  std::optional<PageState> shown_;

  QFrame* controllerPowerPanel_;
  QFrame* moduleSettingsPanel_;
  QLabel* deviceNamePanel_;
  QLabel* deviceSerialPanel_;
  QLabel* loadConfigurationProgressLabel_;
  QPushButton* loadConfigurationBitBtn_;
  QPushButton* saveConfigurationBitBtn_;
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
};

}  // namespace frosk
