#include "firmware/upload_firmware_form.h"

namespace frosk {

TUploadFirmwareForm::TUploadFirmwareForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Firmware Upgrade"));
  // The run must end through the dialog's own buttons, never half-way through a tool.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

}  // namespace frosk
