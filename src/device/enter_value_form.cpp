#include "device/enter_value_form.h"

namespace frosk {

TEnterValueForm::TEnterValueForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Enter new value"));
}

}  // namespace frosk
