#include "device/enter_serial_form.h"

namespace frosk {

TEnterSerialForm::TEnterSerialForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Serial Number"));
}

}  // namespace frosk
