#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/file_replace.h"
#include "common/wall_clock.h"
#include "protocol/record_slots.h"

namespace frosk {

class DeviceEngine;

// The recording format: CSV (RFC 4180), UTF-8, LF. Its first row names the
// columns: time, ms, record, the fields of both monitor records, status_text.
std::string MonitorCsvHeader();
// A cell, quoted when it holds a comma, a quote or a line break.
std::string CsvCell(std::string_view text);
// A monitor reply as the engine stored it: the other record's cells are empty;
// the controller's row ends with its status text.
std::string MonitorCsvRow(DeviceEngine& engine, Group monitor, const LocalDateTime& time, uint64_t ms);
// A stretch in which the device did not answer.
std::string NoReplyCsvRow(const LocalDateTime& time, uint64_t ms);

// Writes a recording row by row. Each row goes to the file as it comes, in
// one piece, so a process killed at any point leaves every row before it
// whole; nothing is written to a temporary file, since a recording of hours
// must never depend on a last rename.
class MonitorCsvWriter {
 public:
  enum class Mode {
    kNew,     // refuses a file that exists
    kAppend,  // adds rows under an existing file's header when it is the same
  };

  explicit MonitorCsvWriter(FileCalls& calls = FileCalls::System()) : calls_(calls) {}
  ~MonitorCsvWriter() { Close(); }
  MonitorCsvWriter(const MonitorCsvWriter&) = delete;
  MonitorCsvWriter& operator=(const MonitorCsvWriter&) = delete;

  enum class Opened {
    kYes,
    kRefused,  // the file exists (kNew), or holds other columns (kAppend)
    kFailed,   // the system would not let it be created or written
  };
  // Whether Open would take `path`, without creating or changing anything:
  // kYes, kRefused or, when the system cannot tell, kFailed, with the reason
  // in `why`. A tool checks its file this way before it starts its device.
  static Opened Check(const std::string& path, Mode mode, std::string* why);
  // Opens `path` and, for a new or empty file, writes the header. Anything
  // but kYes comes with the reason in `why`.
  Opened Open(const std::string& path, Mode mode, std::string* why);
  // Writes one row whole. A row the file does not take whole (a full disk) is
  // cut off again, so the file ends with the last row that was whole; the
  // writer is then closed and `why` says why.
  bool WriteRow(std::string_view row, std::string* why);
  void Close();

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Bytes in the file.
  uint64_t Size() const { return size_; }

 private:
  FileCalls& calls_;
  int fd_ = -1;
  std::string path_;
  uint64_t size_ = 0;
};

}  // namespace frosk
