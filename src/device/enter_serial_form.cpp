#include "device/enter_serial_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "common/form_basics.h"
#include "device/view_controls.h"
#include "protocol/keys.h"

namespace frosk {

TEnterSerialForm::TEnterSerialForm(QWidget* parent) : QDialog(parent) {
  serial_.Init(key::DEVICE_IDEN_SERIAL, kUndefined, kUndefined, kUndefined, nullptr, nullptr, kUndefined);
  BuildLayout();
  WireActions();
}

void TEnterSerialForm::BuildLayout() {
  setObjectName("EnterSerialForm");
  setWindowTitle(QStringLiteral("Serial Number"));
  setFont(UiFont(11));
  setFixedSize(300, 184);
  headingLabel_ = NewHeaderPanel(QStringLiteral("Enter Serial Number"), this);
  headingLabel_->setObjectName("HeadingLabel");
  headingLabel_->setGeometry(0, 0, 300, 40);
  // Six and two digits, or nine; "_" marks a place not yet filled.
  formatOldRadioButton_ = RadioButton(this, "FormatOldRadioButton", QStringLiteral("Old format:"), {16, 56, 110, 24});
  serial1MaskEdit_ = MaskEdit(this, "Serial1MaskEdit", QStringLiteral("999999;_"), {132, 56, 72, 24});
  slashLabel_ = Label(this, "SlashLabel", QStringLiteral("/"), {208, 56, 10, 24});
  serial2MaskEdit_ = MaskEdit(this, "Serial2MaskEdit", QStringLiteral("99;_"), {220, 56, 32, 24});
  formatNewRadioButton_ = RadioButton(this, "FormatNewRadioButton", QStringLiteral("New format:"), {16, 90, 110, 24});
  newSerialMaskEdit_ = MaskEdit(this, "NewSerialMaskEdit", QStringLiteral("999999999;_"), {132, 90, 100, 24});
  okBtn_ = Button(this, "OkBtn", QStringLiteral("OK"), {112, 144, 84, 28});
  cancelBtn_ = Button(this, "CancelBtn", QStringLiteral("Cancel"), {204, 144, 84, 28});
  // Enter belongs to the edits: it takes what was typed, it does not end the dialog.
  for (QPushButton* button : {okBtn_, cancelBtn_}) button->setAutoDefault(false);
}

void TEnterSerialForm::WireActions() {
  exitWatcher_ = std::make_unique<EditExitWatcher>([this](QLineEdit* edit) { AnyMaskEditExit(edit); });
  for (QLineEdit* edit : {serial1MaskEdit_, serial2MaskEdit_, newSerialMaskEdit_}) exitWatcher_->Watch(edit);
  connect(formatOldRadioButton_, &QRadioButton::clicked, this, &TEnterSerialForm::AnyFormatRadioButtonClick);
  connect(formatNewRadioButton_, &QRadioButton::clicked, this, &TEnterSerialForm::AnyFormatRadioButtonClick);
  connect(okBtn_, &QPushButton::clicked, this, &TEnterSerialForm::OkBtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
}

void TEnterSerialForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TEnterSerialForm::FormShow() {
  SerialRecord serial;
  serial_.GetRaw(&serial);
  newFormat_ = serial.suffix == kNewSerialSuffix;
  UpdateControls();
  QLineEdit* first = newFormat_ ? newSerialMaskEdit_ : serial1MaskEdit_;
  first->setFocus();
  first->selectAll();
}

void TEnterSerialForm::UpdateControls() {
  const QString text = Text(serial_.ValueToText());
  formatOldRadioButton_->setChecked(!newFormat_);
  formatNewRadioButton_->setChecked(newFormat_);
  for (QWidget* control : std::initializer_list<QWidget*>{serial1MaskEdit_, slashLabel_, serial2MaskEdit_})
    control->setVisible(!newFormat_);
  newSerialMaskEdit_->setVisible(newFormat_);
  SerialRecord serial;
  serial_.GetRaw(&serial);
  if (newFormat_) {
    // A number below 1000000 entered here is kept in the old format; the
    // field still shows the number that was entered.
    newSerialMaskEdit_->setText(QStringLiteral("%1").arg(serial.number, 9, 10, QLatin1Char('0')));
    return;
  }
  const qsizetype dash = text.indexOf('-');
  serial1MaskEdit_->setText(text.left(dash));
  serial2MaskEdit_->setText(text.mid(dash + 1));
}

void TEnterSerialForm::AnyMaskEditExit(QLineEdit* edit) {
  // An entry with places still blank changes nothing: the edits show the
  // serial as it is again.
  if (edit == newSerialMaskEdit_) {
    if (edit->hasAcceptableInput()) serial_.SetFromText(edit->text().toStdString());
  } else if (serial1MaskEdit_->hasAcceptableInput() && serial2MaskEdit_->hasAcceptableInput()) {
    serial_.SetFromText((serial1MaskEdit_->text() + "-" + serial2MaskEdit_->text()).toStdString());
  }
  UpdateControls();
}

void TEnterSerialForm::AnyFormatRadioButtonClick() {
  const bool newFormat = formatNewRadioButton_->isChecked();
  // A click on the format already chosen keeps the number.
  if (newFormat == newFormat_) return;
  newFormat_ = newFormat;
  SerialRecord serial{newFormat ? kNewSerialSuffix : uint8_t{0}, 0};
  serial_.SetRaw(&serial);
  UpdateControls();
}

void TEnterSerialForm::OkBtnClick() {
  // The edit with the focus has not been left when OK is pressed by its key.
  if (auto* edit = qobject_cast<QLineEdit*>(focusWidget()); edit != nullptr && edit->isVisible())
    AnyMaskEditExit(edit);
  else
    UpdateControls();
  accept();
}

}  // namespace frosk
