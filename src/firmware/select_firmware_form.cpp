#include "firmware/select_firmware_form.h"

namespace frosk {

TSelectFirmwareForm::TSelectFirmwareForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Frosk Flasher"));
}

}  // namespace frosk
