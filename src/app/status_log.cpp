#include "app/status_log.h"

namespace frosk {

bool StatusLog::Write(const std::string& lineText, const std::string& appendText) {
  bool changed = false;
  if (!appendText.empty() && openLine_) {
    lines_[*openLine_] += appendText;
    changed = true;
  }
  if (Note(lineText)) {
    openLine_ = lines_.size() - 1;
    changed = true;
  }
  return changed;
}

bool StatusLog::Note(const std::string& lineText) {
  if (lineText.empty()) return false;
  lines_.push_back(FormatDateTime(clock_.Now()) + "  " + lineText);
  return true;
}

}  // namespace frosk
