#pragma once

#include <QDialog>
#include <string>

#include "common/port_lister.h"
#include "common/prompter.h"
#include "firmware/firmware_dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace frosk {

// The firmware target dialog: what to program, on which port, from which
// file. One instance lives for the whole run, so a choice made at one opening
// is offered again at the next.
class TSelectFirmwareForm : public QDialog {
  Q_OBJECT

 public:
  // `listPorts` gives the ports offered; the prompter asks for the file.
  TSelectFirmwareForm(PortLister listPorts, Prompter& prompter, QWidget* parent = nullptr);

  // Set before each opening: six targets and the file choice, or three targets.
  void SetServiceList(bool serviceList) { serviceList_ = serviceList; }
  // The choice; meant after the dialog ended with OK.
  TargetChoice Choice() const { return {target_, portName_, useDefaultFile_, file_}; }

 public slots:
  void FormShow();
  void AnyComboBoxChange();
  void AnyRadioButtonClick();
  void FileButtonClick();
  void OkBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout();
  void FormCreate();
  void FillPortList();
  void UpdateControls();
  bool CanConfirm() const;

  PortLister listPorts_;
  Prompter& prompter_;

  bool serviceList_ = false;
  int target_ = 0;  // 1-based entry of the target list; 0 for none
  int portIndex_ = -1;
  bool useDefaultFile_ = true;
  std::string file_;
  std::string portName_;

  QLabel* userInfoLabel_ = nullptr;
  QComboBox* deviceTypeComboBox_ = nullptr;
  QComboBox* comPortComboBox_ = nullptr;
  QLabel* useFileLabel_ = nullptr;
  QRadioButton* fileDefaultRadioButton_ = nullptr;
  QRadioButton* fileOtherRadioButton_ = nullptr;
  QLineEdit* fileNamePanel_ = nullptr;
  QPushButton* fileButton_ = nullptr;
  QPushButton* okBtn_ = nullptr;
};

}  // namespace frosk
