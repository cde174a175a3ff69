#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "device/device_engine.h"
#include "device/traffic_trees.h"
#include "device/view_controls.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTabWidget;
class QTreeWidget;

namespace frosk {

// The device window's engineering page (ViewPage 1): every record the engine
// keeps as raw fields on the tab sheets of CommunicationPageControl, with a
// GET and a SET button per record, the controller's service and transparent
// modes, the reading sequence again, BREAK for a request that hangs, and the
// traffic as two item trees. It shows the engine's holders and calls the
// engine's senders; it keeps no state but its tab selections and the trees.
class ServiceViewPage : public QWidget {
  Q_OBJECT

 public:
  // `traffic` is the window's record of the engine's traffic, kept from the
  // moment the device connects, so the trees show what came before the page
  // was first opened.
  ServiceViewPage(DeviceEngine& engine, TrafficTrees& traffic, QWidget* parent);
  ~ServiceViewPage() override;

  // The page's part of the engine's refresh while it is shown.
  void Refresh();
  // Each tick while shown: the waiting panel blinks while a reply is awaited.
  void ShowWaitingPanel();
  const TrafficTrees& Traffic() const { return traffic_; }

 public slots:
  void GetDeviceIdenBtnClick();
  void SetDeviceIdenBtnClick();
  void GetFroskTecConfigButtonClick();
  void SetFroskTecConfigButtonClick();
  void GetFroskTecMonitorButtonClick();
  void GetModuleIdenButtonClick();
  void SetModuleIdenButtonClick();
  void GetModuleBasicParamsButtonClick();
  void SetModuleBasicParamsButtonClick();
  void GetModuleVletraMonitorButtonClick();
  void GetModuleVeltraParamsButtonClick();
  void SetModuleVeltraParamsButtonClick();
  void SetServiceMode0ButtonClick();
  void SetServiceMode1ButtonClick();
  void SetTransparentModeButtonClick();
  void GetConfigurationButtonClick();
  void BreakButtonClick();
  void ClearButtonClick();
  void AnyTabControlChange();
  void AnyEditExit(QLineEdit* edit);
  void AnyMaskEditExit(QLineEdit* edit);
  void AnyComboBoxChange();
  void AnyCheckBoxClick();

 private:
  // The tab sheets, in their order.
  enum class Sheet : uint8_t {
    kDeviceIden,
    kFroskTecConfig,
    kFroskTecMonitor,
    kModuleIden,
    kModuleBasicParams,
    kModuleVeltraMonitor,
    kModuleVeltraParams,
  };
  struct SheetField {
    Sheet sheet;
    FieldControl control;
  };

  void BuildLayout();
  // A tab sheet named and captioned after its record, with the record's fields.
  QWidget* AddSheet(Sheet sheet, const char* name, Group group);
  // The record's fields, named after the sheet.
  void AddFields(QWidget* sheet, Sheet which, Group group, int top, const QString& prefix);
  QTabBar* AddTabBar(QWidget* sheet, const char* name, const QStringList& tabs, int y);
  using Handler = void (ServiceViewPage::*)();
  // The sheet's GET button and, for a record that can be written, its SET button.
  void AddSheetButtons(QWidget* sheet, const char* get, Handler onGet, const char* set = nullptr,
                       Handler onSet = nullptr);
  void BuildTrafficPanel();
  void BuildControlPanel();

  // The group a sheet shows, by its tabs at this moment.
  Group GroupShown(Sheet sheet) const;
  int ModuleIdenIndex() const;
  int BasicParamsIndex() const;  // 4 * A + B
  int VeltraParamsIndex() const;
  VFroskClass& HolderOf(const SheetField& field);
  SheetField* FieldOf(const QWidget* widget);
  void TakeEdit(QLineEdit* edit);
  void MirrorTraffic();
  // Adds the tree's new top-level items to the view; the number it then shows.
  size_t Append(QTreeWidget* view, const ItemTree& tree, size_t shown);

  DeviceEngine& engine_;
  TrafficTrees& traffic_;
  uint64_t mirroredClears_ = 0;
  size_t sentShown_ = 0;
  size_t receivedShown_ = 0;

  // Goes with this object, before its controls.
  std::unique_ptr<EditExitWatcher> exitWatcher_;
  QTabWidget* communicationPageControl_;
  QTabBar* moduleIdenTabControl_;
  QTabBar* moduleBasicParamsATabControl_;
  QTabBar* moduleBasicParamsBTabControl_;
  QTabBar* moduleVeltraParamsTabControl_;
  std::vector<SheetField> fields_;
  // Enabled only while idle.
  std::vector<QPushButton*> idleButtons_;
  QPushButton* breakButton_;
  QTreeWidget* sentTreeView_;
  QTreeWidget* receivedTreeView_;
  QLabel* communicationWaitingPanel_;
};

}  // namespace frosk
