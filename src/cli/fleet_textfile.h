#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/file_replace.h"

namespace frosk::cli {

// A station's file for node-exporter's textfile collector:
// FOLDER/froskctl-STATION.prom. Each content replaces the last as one step
// (written beside it under a name ending in .tmp, which the collector does
// not read, then renamed), so the collector never sees a partial file. The
// station's lock file beside it (froskctl-STATION.lock) is held for the
// object's life: two processes writing one file would each undo the other's
// controllers.
class StationTextfile {
 public:
  // Takes the lock and makes sure the folder takes new files. None, with the
  // reason in `why`, when another process holds the station or the folder
  // cannot be written.
  static std::unique_ptr<StationTextfile> Open(const std::string& folder, const std::string& station, std::string* why,
                                               FileCalls& calls = FileCalls::System());
  ~StationTextfile();
  StationTextfile(const StationTextfile&) = delete;
  StationTextfile& operator=(const StationTextfile&) = delete;

  // False, with the system's reason in `why`, when the file was not replaced
  // (the earlier one then stands).
  bool Write(std::string_view text, std::string* why);
  const std::string& Path() const { return path_; }

 private:
  StationTextfile(std::string path, int lockFd, FileCalls& calls)
      : path_(std::move(path)), lockFd_(lockFd), calls_(calls) {}

  std::string path_;
  int lockFd_;
  FileCalls& calls_;
};

// Whether a station name may be part of a file name and a label: letters,
// digits, ".", "_" and "-", not starting with ".".
bool IsStationName(std::string_view name);

}  // namespace frosk::cli
