#pragma once

#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <memory>
#include <vector>

#include "app/discovery_engine.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace frosk {

class FirmwareCommands;
class MenuStyle;
class TSettingsForm;
class TStartupForm;
class TUploadFirmwareForm;

// The main window: the list of devices found, the status log and the menus.
// It shows the discovery engine's state and calls its operations; its timer
// is the program's one clock.
class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  // Where a list row keeps its image and state index.
  static constexpr int kImageIndexRole = Qt::UserRole + 1;
  static constexpr int kStateIndexRole = Qt::UserRole + 2;
  // True while the row's device is connected but not answering: its image
  // then carries a mark.
  static constexpr int kNotAnsweringRole = Qt::UserRole + 3;

  // `settings` is the program's record, which "Settings..." replaces on OK.
  TMainForm(DiscoveryEngine& engine, Settings& settings, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The splash follows the log and the scan state; it is created after the main window.
  void SetStartupForm(TStartupForm* startupForm) { startupForm_ = startupForm; }
  // So are the dialogs of the Options and Service menus, and the firmware
  // commands over them. The programming dialog is ticked with the engine
  // while it is shown.
  void SetDialogs(TSettingsForm* settingsForm, TUploadFirmwareForm* uploadFirmwareForm, FirmwareCommands* firmware) {
    settingsForm_ = settingsForm;
    uploadFirmwareForm_ = uploadFirmwareForm;
    firmware_ = firmware;
  }

  const QList<QPixmap>& DevicesImageList() const { return devicesImages_; }
  const QList<QPixmap>& MenuImageList() const { return menuImages_; }

 signals:
  // The exit sequence is over and the window has closed: the program ends.
  void Closed();

 public slots:
  void FormShow();
  void FormActivate();
  void RefreshCommands();
  void Timer1Timer();

  void DevicesReloadMenuItemClick();
  void DevicesConnectMenuItemClick();
  void DevicesDisconnectMenuItemClick();
  void DevicesShowMenuItemClick();
  void DevicesHideMenuItemClick();
  void DevicesShowTrendsMenuItemClick();
  void DevicesExitMenuItemClick();
  void OptionsSettingsMenuItemClick();
  void OptionsFlasherMenuItemClick();
  void OptionsUpdatesMenuItemClick();
  void ServiceFirmwareMenuItemClick();
  void ServiceShowFroskTecWindowMenuItemClick();
  void HelpAboutMenuItemClick();
  void DevicesListViewDblClick();
  void DevicesListViewSelectItem();

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCloseQuery(QCloseEvent* event);
  void ShowLog();
  void ShowDevices();
  void ShowMainWindow(bool shown);
  void FollowState(ScanState state);
  DeviceEntry* SelectedEntry() const;
  void BuildLayout();
  void BuildMenus();
  void WireKeys();
  void OpenMenuBar();
  void SelectCurrentRow();
  void WireActions();
  QAction* AddItem(QMenu* menu, const char* name, const char* caption, bool measured = true);
  QMenu* AddMenu(const char* name, const char* caption);
  void SetRowImage(QTreeWidgetItem* row, int index);
  // Marks the rows of devices that do not answer.
  void ShowDeviceHealth();
  // A cell whose text its column cuts shows the whole text as its tooltip.
  void ShowCutTexts();

  DiscoveryEngine& engine_;
  Settings& settings_;
  TStartupForm* startupForm_ = nullptr;
  TSettingsForm* settingsForm_ = nullptr;
  TUploadFirmwareForm* uploadFirmwareForm_ = nullptr;
  FirmwareCommands* firmware_ = nullptr;
  bool centred_ = false;
  // Windows of "Show FroskTEC Window", each over a connection never opened:
  // they belong to no listed device and live until the end.
  std::vector<std::unique_ptr<DeviceEntry>> unlistedEntries_;

  QList<QPixmap> devicesImages_;
  QList<QPixmap> menuImages_;
  MenuStyle* menuStyle_ = nullptr;

  QTreeWidget* devicesListView_ = nullptr;
  QPlainTextEdit* statusMemo_ = nullptr;
  QLabel* servicePanel_ = nullptr;
  QTimer* timer1_ = nullptr;

  QMenu* serviceMenuItem_ = nullptr;
  QMenu* devicesMenu_ = nullptr;
  QAction* devicesReloadMenuItem_ = nullptr;
  QAction* devicesConnectMenuItem_ = nullptr;
  QAction* devicesDisconnectMenuItem_ = nullptr;
  QAction* devicesShowTrendsMenuItem_ = nullptr;
  QAction* devicesExitMenuItem_ = nullptr;
  QAction* optionsSettingsMenuItem_ = nullptr;
  QAction* optionsFlasherMenuItem_ = nullptr;
  QAction* optionsUpdatesMenuItem_ = nullptr;
  QAction* serviceFirmwareMenuItem_ = nullptr;
  QAction* serviceShowFroskTecWindowMenuItem_ = nullptr;
  QAction* helpAboutMenuItem_ = nullptr;
  QAction* pDeviceReloadMenuItem_ = nullptr;
  QAction* pDeviceConnectMenuItem_ = nullptr;
  QAction* pDeviceDisconnectMenuItem_ = nullptr;
  QAction* pDeviceShowMenuItem_ = nullptr;
  QAction* pDeviceHideMenuItem_ = nullptr;
  QAction* pDeviceShowTrendsMenuItem_ = nullptr;
};

}  // namespace frosk
