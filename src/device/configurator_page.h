#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "device/config_file_engine.h"
#include "device/configurator_engine.h"
#include "device/view_controls.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace frosk {

class TEnterSerialForm;

// The device window's configurator (ViewPage 2): the eight pages of
// ConfigNotebook, which the engine's SequenceState picks, with Back and Next.
// The pages show the holders the configurator engine names for the state and
// hand every entry and click to it or to the configuration-file engine.
class ConfiguratorPage : public QWidget {
  Q_OBJECT

 public:
  // `serialDialog` is the program's one serial number dialog; `wallClock` says what day "Today" is.
  ConfiguratorPage(DeviceEngine& engine, ConfigFileEngine& files, TEnterSerialForm& serialDialog,
                   const WallClock& wallClock, QWidget* parent);

  // The page's part of the engine's refresh while it is shown.
  void Refresh();
  const ConfiguratorEngine& Configurator() const { return configurator_; }

 public slots:
  void ConfigWizzardButtonClick();
  void ConfigDeviceLoadButtonClick();
  void ConfigMakeFileButtonClick();
  void ConfigReadFileButtonClick();
  void ConfigNextBitBtnClick();
  void ConfigBackBitBtnClick();
  void CAnyEditExit(QLineEdit* edit);
  void CAnyMaskEditExit(QLineEdit* edit);
  void CAnyComboBoxChange();
  void CAnyCheckBoxClick();
  void CDeviceIdenProdDateTodayBtnClick();
  void CModuleIdenProdDateTodayButtonClick();
  void CDeviceIdenDefaultButtonClick();
  void CModuleIdenDefaultButtonClick();
  void CModuleParamsDefaultButtonClick();
  void CVeltraParamsDefaultButtonClick();
  void ConfigMakeAllButtonClick();
  void ConfigMakeNoneButtonClick();
  void ConfigMakeDeviceSignatureGenerateButtonClick();
  void ConfigMakeModuleSignatureGenerateButtonClick();
  void ConfigMakeDeviceSignatureLoadButtonClick();
  void ConfigMakeModuleSignatureLoadButtonClick();
  void ConfigMakeWriteButtonClick();

 private:
  struct PageField {
    ConfigColumn column;
    FieldControl control;
  };
  struct ContentBox {
    QCheckBox* box;
    ContentMask bit;
  };
  // One signature's box, field and buttons on the make-file page.
  struct SignatureControls {
    QCheckBox* box;
    QLineEdit* edit;
    QPushButton* generate;
    QPushButton* load;
    QString shown;
  };
  struct RowShape {
    Key field;
    QFrame* shape;
  };

  void BuildLayout();
  QWidget* AddPage(const char* name);
  void BuildWaitPage();
  void BuildStartPage();
  void BuildDeviceIdenPage();
  void BuildModuleIdenPage();
  void BuildParamsPage(QWidget* page, const char* prefix, ConfigColumn first, std::vector<RowShape>& shapes);
  void BuildMakeFilePage();
  void BuildReadFilePage();
  // A field's control, kept in fields_ and watched when it is an edit.
  FieldControl& AddField(QWidget* page, ConfigColumn column, const QString& name, Key field, FieldKind kind,
                         const QRect& geometry, const QStringList& choices = {});
  void WireActions();

  void RefreshWaitPage();
  void RefreshFileViewLabel();
  void RefreshMakeFilePage();
  void RefreshReadFilePage();
  SignatureControls& Controls(Signature which) { return signatures_[static_cast<size_t>(which)]; }
  void ShowSignature(Signature which, bool enabled);
  PageField* FieldOf(const QWidget* widget);
  void TakeEdit(QLineEdit* edit);
  void GenerateSignature(Signature which);
  ContentMask TickedMask() const;

  DeviceEngine& engine_;
  ConfigFileEngine& files_;
  TEnterSerialForm& serialDialog_;
  ConfiguratorEngine configurator_;
  uint64_t treeRevision_ = 0;

  // Goes with this object, before its controls.
  std::unique_ptr<EditExitWatcher> exitWatcher_;
  QStackedWidget* configNotebook_;
  QPushButton* configBackBitBtn_;
  QPushButton* configNextBitBtn_;
  QPushButton* configDeviceLoadButton_;
  QLabel* configWaitProgressLabel_;
  QLabel* configFileViewLabel_;
  std::vector<PageField> fields_;
  QLineEdit* connectedModuleTypeEdit_;
  QLabel* moduleIdenLabel_;
  QLabel* moduleParamsLabel_;
  std::vector<RowShape> moduleParamsShapes_;
  std::vector<RowShape> veltraParamsShapes_;
  std::vector<ContentBox> contentBoxes_;
  std::array<SignatureControls, 2> signatures_;
  QTreeWidget* configFileTreeView_;
};

}  // namespace frosk
