#pragma once

#include <QDialog>
#include <string>

#include "common/prompter.h"
#include "protocol/vfrosk_class.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace frosk {

// What the value dialog edits: one setting's texts, its value with the
// default and the user limits beside it, and whether the user limits bind.
struct ValueDialogSetting {
  std::string name;
  std::string description;
  std::string unit;
  VFroskClass value;
  VFroskClass defaults;
  VFroskClass min;
  VFroskClass max;
  bool limitToUser = true;
};

// The value dialog: one setting's new value within its limits. One dialog
// lives for the whole run and is filled anew for every edit. Text that is no
// number is refused with a message through `prompter`, and the value stays.
class TEnterValueForm : public QDialog {
  Q_OBJECT

 public:
  explicit TEnterValueForm(Prompter& prompter, QWidget* parent = nullptr);

  void Fill(const ValueDialogSetting& setting) { setting_ = setting; }
  // The value as the user left it; on OK it is within the limits.
  const VFroskClass& Value() const { return setting_.value; }
  bool LimitToUser() const { return setting_.limitToUser; }

 public slots:
  void FormShow();
  // Parses the typed text into the value and clamps it; the edit then shows
  // what was kept. Runs on leaving the edit, on Enter and first thing on OK.
  // False for text that is no number: on Enter and OK it is refused with a
  // message and the edit shows the value again; on leaving the edit it
  // stands until then, since the click that left it may be Cancel.
  bool ValueEditExit();
  void DefaultButtonClick();
  void MinButtonClick();
  void MaxButtonClick();
  void BitBtn1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void WireActions();
  // Enter in the edit takes the value and keeps the dialog open.
  bool ValueEditKeyPress(int key);
  void TakeValueOf(const VFroskClass& holder);
  bool TakeTypedValue(bool refuseWithMessage);

  Prompter& prompter_;
  ValueDialogSetting setting_;

  QLabel* nameLabel_;
  QLabel* infoLabel_;
  QLabel* unitLabel_;
  QLineEdit* valueEdit_;
  QPushButton* defaultButton_;
  QPushButton* minButton_;
  QPushButton* maxButton_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace frosk
