#include "firmware/firmware_forms.h"

#include "firmware/select_firmware_form.h"
#include "firmware/upload_firmware_form.h"

namespace frosk {

std::optional<TargetChoice> FirmwareForms::RunTargetDialog(bool serviceList) {
  selectForm_.SetServiceList(serviceList);
  if (selectForm_.exec() != QDialog::Accepted) return std::nullopt;
  return selectForm_.Choice();
}

void FirmwareForms::RunProgrammingDialog(int target, const std::string& portName, const std::string& file) {
  uploadForm_.SetJob(target, portName, file);
  uploadForm_.exec();
}

}  // namespace frosk
