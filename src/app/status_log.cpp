#include "app/status_log.h"

namespace frosk {

bool StatusLog::Write(const std::string& lineText, const std::string& appendText) {
  bool changed = false;
  if (!appendText.empty() && !lines_.empty()) {
    lines_.back() += appendText;
    changed = true;
  }
  if (!lineText.empty()) {
    lines_.push_back(FormatDateTime(clock_.Now()) + "  " + lineText);
    changed = true;
  }
  return changed;
}

}  // namespace frosk
