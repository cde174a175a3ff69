#pragma once

#include "firmware/firmware_dialogs.h"

namespace frosk {

class TSelectFirmwareForm;
class TUploadFirmwareForm;

// The firmware dialogs of the desktop program: the two forms, shown modally.
class FirmwareForms : public FirmwareDialogs {
 public:
  FirmwareForms(TSelectFirmwareForm& selectForm, TUploadFirmwareForm& uploadForm)
      : selectForm_(selectForm), uploadForm_(uploadForm) {}

  std::optional<TargetChoice> RunTargetDialog(bool serviceList) override;
  void RunProgrammingDialog(int target, const std::string& portName, const std::string& file) override;

 private:
  TSelectFirmwareForm& selectForm_;
  TUploadFirmwareForm& uploadForm_;
};

}  // namespace frosk
