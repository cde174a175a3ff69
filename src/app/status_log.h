#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/wall_clock.h"

namespace frosk {

// The running log of start-up, update check, scans and exit, kept in memory
// only, and the notes of the device windows. Lines are added or extended,
// never removed.
class StatusLog {
 public:
  explicit StatusLog(const WallClock& clock) : clock_(clock) {}

  // Closes the line Write opened last with `appendText` (dropped while there
  // is none), then opens a line "yyyy-mm-dd hh:nn:ss  " + `lineText`, stamped
  // now. Either text may be empty. True when the log changed.
  bool Write(const std::string& lineText, const std::string& appendText);
  // Adds a stamped line that no state change opened. A scan's line still
  // waiting for its result keeps waiting, so the result is not written
  // behind the note. False for an empty text.
  bool Note(const std::string& lineText);

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  const WallClock& clock_;
  std::vector<std::string> lines_;
  std::optional<size_t> openLine_;
};

}  // namespace frosk
