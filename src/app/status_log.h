#pragma once

#include <string>
#include <vector>

#include "common/wall_clock.h"

namespace frosk {

// The running log of start-up, update check, scans and exit, kept in memory
// only. Lines are added or extended, never removed.
class StatusLog {
 public:
  explicit StatusLog(const WallClock& clock) : clock_(clock) {}

  // Closes the last line with `appendText` (dropped while the log is empty),
  // then opens a line "yyyy-mm-dd hh:nn:ss  " + `lineText`, stamped now.
  // Either text may be empty. True when the log changed.
  bool Write(const std::string& lineText, const std::string& appendText);

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  const WallClock& clock_;
  std::vector<std::string> lines_;
};

}  // namespace frosk
