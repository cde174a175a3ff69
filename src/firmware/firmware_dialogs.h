#pragma once

#include <optional>
#include <string>

namespace frosk {

// What the target dialog hands back after OK.
struct TargetChoice {
  int target = 0;        // 1 to 6
  std::string portName;  // empty when no port was chosen
  bool useDefaultFile = true;
  std::string file;  // the chosen file; only meant when useDefaultFile is false
};

// The two modal firmware dialogs as the main window's commands use them. The
// desktop program shows its forms; tests script the answers, as a Prompter
// stands for message boxes.
class FirmwareDialogs {
 public:
  virtual ~FirmwareDialogs() = default;
  // The target dialog with six targets and the file choice (`serviceList`) or
  // with three and the default files; nullopt when it is cancelled.
  virtual std::optional<TargetChoice> RunTargetDialog(bool serviceList) = 0;
  // The programming dialog for one job; returns when the user has closed it.
  virtual void RunProgrammingDialog(int target, const std::string& portName, const std::string& file) = 0;
};

}  // namespace frosk
