#include "device/enter_value_form.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "common/form_basics.h"
#include "protocol/text_number.h"

namespace frosk {

TEnterValueForm::TEnterValueForm(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
  BuildLayout();
  WireActions();
}

void TEnterValueForm::BuildLayout() {
  setObjectName("EnterValueForm");
  setWindowTitle(QStringLiteral("Enter new value"));
  setFont(UiFont(11));
  setFixedSize(336, 160);

  nameLabel_ = new QLabel(this);
  nameLabel_->setObjectName("NameLabel");
  nameLabel_->setFont(UiFont(13, true));
  nameLabel_->setGeometry(12, 10, 312, 18);
  infoLabel_ = new QLabel(this);
  infoLabel_->setObjectName("InfoLabel");
  infoLabel_->setGeometry(12, 32, 312, 16);

  valueEdit_ = new QLineEdit(this);
  valueEdit_->setObjectName("ValueEdit");
  valueEdit_->setGeometry(12, 56, 120, 22);
  valueEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  unitLabel_ = new QLabel(this);
  unitLabel_->setObjectName("UnitLabel");
  unitLabel_->setGeometry(138, 56, 40, 22);

  defaultButton_ = Button(this, "DefaultButton", {}, {12, 88, 108, 24});
  minButton_ = Button(this, "MinButton", {}, {124, 88, 98, 24});
  maxButton_ = Button(this, "MaxButton", {}, {226, 88, 98, 24});
  okButton_ = Button(this, "BitBtn1", QStringLiteral("OK"), {148, 124, 84, 26});
  cancelButton_ = Button(this, "BitBtn2", QStringLiteral("Cancel"), {240, 124, 84, 26});
  // Enter belongs to the edit: it takes the value, it does not end the dialog.
  for (QPushButton* button : {defaultButton_, minButton_, maxButton_, okButton_, cancelButton_})
    button->setAutoDefault(false);
}

void TEnterValueForm::WireActions() {
  valueEdit_->installEventFilter(this);
  connect(defaultButton_, &QPushButton::clicked, this, &TEnterValueForm::DefaultButtonClick);
  connect(minButton_, &QPushButton::clicked, this, &TEnterValueForm::MinButtonClick);
  connect(maxButton_, &QPushButton::clicked, this, &TEnterValueForm::MaxButtonClick);
  connect(okButton_, &QPushButton::clicked, this, &TEnterValueForm::BitBtn1Click);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void TEnterValueForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

bool TEnterValueForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == valueEdit_) {
    if (event->type() == QEvent::KeyPress) return ValueEditKeyPress(static_cast<QKeyEvent*>(event)->key());
    if (event->type() == QEvent::FocusOut) TakeTypedValue(false);
  }
  return QDialog::eventFilter(watched, event);
}

void TEnterValueForm::FormShow() {
  setWindowTitle(QStringLiteral("Enter new value"));
  nameLabel_->setText(Text(setting_.name));
  infoLabel_->setText(Text(setting_.description));
  unitLabel_->setText(Text(setting_.unit));
  valueEdit_->setText(Text(setting_.value.ValueToText()));
  defaultButton_->setText(QStringLiteral("Default: ") + Text(setting_.defaults.ValueToText()));
  minButton_->setText(QStringLiteral("Min: ") + Text(setting_.min.ValueToText()));
  maxButton_->setText(QStringLiteral("Max: ") + Text(setting_.max.ValueToText()));
  valueEdit_->setFocus();
  valueEdit_->selectAll();
}

bool TEnterValueForm::ValueEditKeyPress(int key) {
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
  ValueEditExit();
  return true;
}

bool TEnterValueForm::ValueEditExit() { return TakeTypedValue(true); }

bool TEnterValueForm::TakeTypedValue(bool refuseWithMessage) {
  VFroskClass& value = setting_.value;
  // A European keyboard types "13,5": here the comma is a decimal separator
  // too. Text with both, or with two of either, is no number.
  QString typed = valueEdit_->text();
  typed.replace(',', '.');
  if (!ParseDecimal(typed.toStdString())) {
    if (!refuseWithMessage) return false;
    const QString shown = valueEdit_->text().trimmed();
    valueEdit_->setText(Text(value.ValueToText()));
    valueEdit_->selectAll();
    const std::string what =
        shown.isEmpty() ? "No value was entered." : "\"" + shown.toStdString() + "\" is not a number.";
    prompter_.ShowMessageBox(what + "\rPlease enter a number, for example 13.5 or 13,5.", mb::kIconWarning);
    return false;
  }
  value.SetFromText(typed.toStdString());
  if (setting_.limitToUser) {
    if (value.GetAsFloat() < setting_.min.GetAsFloat()) value.SetRaw(setting_.min.ValueStore());
    if (value.GetAsFloat() > setting_.max.GetAsFloat()) value.SetRaw(setting_.max.ValueStore());
  } else {
    int32_t raw = value.GetAsInt();
    if (value.HasMin()) raw = std::max(raw, value.Min());
    if (value.HasMax()) raw = std::min(raw, value.Max());
    if (raw != value.GetAsInt()) value.SetFromInt(raw);
  }
  valueEdit_->setText(Text(value.ValueToText()));
  return true;
}

void TEnterValueForm::TakeValueOf(const VFroskClass& holder) {
  setting_.value.SetRaw(holder.ValueStore());
  valueEdit_->setText(Text(setting_.value.ValueToText()));
}

void TEnterValueForm::DefaultButtonClick() { TakeValueOf(setting_.defaults); }

void TEnterValueForm::MinButtonClick() { TakeValueOf(setting_.min); }

void TEnterValueForm::MaxButtonClick() { TakeValueOf(setting_.max); }

void TEnterValueForm::BitBtn1Click() {
  if (ValueEditExit()) accept();
}

}  // namespace frosk
