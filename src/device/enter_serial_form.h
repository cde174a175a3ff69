#pragma once

#include <QDialog>
#include <memory>

#include "device/view_controls.h"
#include "protocol/vfrosk_class.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace frosk {

// The serial number dialog of the configurator: one serial, entered in the
// old format (six digits and a two-digit suffix) or in the new one (nine
// digits). One dialog lives for the whole run; each use copies a serial in
// and, after OK, out.
class TEnterSerialForm : public QDialog {
  Q_OBJECT

 public:
  explicit TEnterSerialForm(QWidget* parent = nullptr);

  void SetSerial(const VFroskClass& serial) { serial_ = serial; }
  const VFroskClass& Serial() const { return serial_; }
  bool NewFormat() const { return newFormat_; }

 public slots:
  void FormShow();
  // Leaving a serial edit takes its text into the serial; the controls then
  // show the serial as it was kept.
  void AnyMaskEditExit(QLineEdit* edit);
  void AnyFormatRadioButtonClick();
  void OkBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout();
  void WireActions();
  // Shows the serial and its format.
  void UpdateControls();

  VFroskClass serial_;
  bool newFormat_ = false;

  QLabel* headingLabel_;
  QRadioButton* formatOldRadioButton_;
  QLineEdit* serial1MaskEdit_;
  QLabel* slashLabel_;
  QLineEdit* serial2MaskEdit_;
  QRadioButton* formatNewRadioButton_;
  QLineEdit* newSerialMaskEdit_;
  QPushButton* okBtn_;
  QPushButton* cancelBtn_;
  std::unique_ptr<EditExitWatcher> exitWatcher_;
};

}  // namespace frosk
