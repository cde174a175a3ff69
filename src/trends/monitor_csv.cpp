#include "trends/monitor_csv.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <optional>

#include "device/device_engine.h"
#include "protocol/keys.h"

namespace frosk {

namespace {

constexpr Group kMonitorGroups[] = {Group::kFroskTecMonitor, Group::kModuleVeltraMonitor};

size_t FieldCount(Group group) { return GroupContainer(group).fields.size(); }

std::string RowStart(const LocalDateTime& time, uint64_t ms, std::string_view record) {
  return FormatIsoDateTime(time) + "," + std::to_string(ms) + "," + std::string(record);
}

// The first line of a file, without its line end; at most `limit` bytes of it.
std::string FirstLine(const std::string& path, size_t limit) {
  std::ifstream file(path, std::ios::binary);
  std::string line;
  char c;
  while (line.size() <= limit && file.get(c) && c != '\n') line += c;
  return line;
}

}  // namespace

std::string MonitorCsvHeader() {
  std::string header = "time,ms,record";
  for (const Group group : kMonitorGroups)
    for (const FieldSpec& field : GroupContainer(group).fields) header += "," + std::string(field.name);
  return header + ",status_text\n";
}

std::string CsvCell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string MonitorCsvRow(DeviceEngine& engine, Group monitor, const LocalDateTime& time, uint64_t ms) {
  const bool controller = monitor == Group::kFroskTecMonitor;
  std::string row = RowStart(time, ms, GroupContainer(monitor).name);
  if (!controller) row += std::string(FieldCount(Group::kFroskTecMonitor), ',');
  for (const VFroskClass& holder : engine.Holders(monitor)) row += "," + CsvCell(holder.ValueToText());
  if (controller) row += std::string(FieldCount(Group::kModuleVeltraMonitor), ',');
  row += ",";
  if (controller) row += CsvCell(StatusText(engine.FroskTecMonitor().At(key::FROSKTEC_MONITOR_STATUS).GetAsInt()));
  return row + "\n";
}

std::string NoReplyCsvRow(const LocalDateTime& time, uint64_t ms) {
  return RowStart(time, ms, "NO_REPLY") +
         std::string(FieldCount(Group::kFroskTecMonitor) + FieldCount(Group::kModuleVeltraMonitor) + 1, ',') + "\n";
}

namespace {

// What Check found: the file's size, when there is one to append to.
MonitorCsvWriter::Opened Admit(const std::string& path, MonitorCsvWriter::Mode mode, std::string* why,
                               std::optional<uint64_t>* existingSize) {
  using Opened = MonitorCsvWriter::Opened;
  const auto fail = [why](Opened result, const std::string& reason) {
    if (why != nullptr) *why = reason;
    return result;
  };
  struct stat existing {};
  if (stat(path.c_str(), &existing) != 0) {
    if (errno != ENOENT) return fail(Opened::kFailed, std::strerror(errno));
    existingSize->reset();
    return Opened::kYes;
  }
  if (S_ISDIR(existing.st_mode)) return fail(Opened::kRefused, "is a folder");
  if (mode == MonitorCsvWriter::Mode::kNew) return fail(Opened::kRefused, "exists already");
  if (!S_ISREG(existing.st_mode)) return fail(Opened::kRefused, "is not a regular file");
  *existingSize = static_cast<uint64_t>(existing.st_size);
  // An empty file takes the header as a new one does.
  const std::string header = MonitorCsvHeader();
  if (existing.st_size != 0 && FirstLine(path, header.size()) + "\n" != header)
    return fail(Opened::kRefused, "has other columns than this recording");
  return Opened::kYes;
}

}  // namespace

MonitorCsvWriter::Opened MonitorCsvWriter::Check(const std::string& path, Mode mode, std::string* why) {
  std::optional<uint64_t> size;
  return Admit(path, mode, why, &size);
}

MonitorCsvWriter::Opened MonitorCsvWriter::Open(const std::string& path, Mode mode, std::string* why) {
  Close();
  std::optional<uint64_t> existingSize;
  if (const Opened admitted = Admit(path, mode, why, &existingSize); admitted != Opened::kYes) return admitted;
  fd_ = existingSize ? calls_.OpenToAppend(path) : calls_.Create(path, 0666);
  if (fd_ < 0) {
    if (why != nullptr) *why = std::strerror(errno);
    return Opened::kFailed;
  }
  path_ = path;
  size_ = existingSize.value_or(0);
  if (size_ == 0 && !WriteRow(MonitorCsvHeader(), why)) return Opened::kFailed;
  return Opened::kYes;
}

bool MonitorCsvWriter::WriteRow(std::string_view row, std::string* why) {
  if (fd_ < 0) {
    if (why != nullptr) *why = "the recording is closed";
    return false;
  }
  if (WriteAll(fd_, row, calls_)) {
    size_ += row.size();
    return true;
  }
  const int error = errno;
  // Best effort: a file that cannot be cut keeps its torn last row, which a
  // reader sees as one short row after every whole one.
  (void)calls_.Truncate(fd_, static_cast<off_t>(size_));
  Close();
  if (why != nullptr) *why = std::strerror(error);
  return false;
}

void MonitorCsvWriter::Close() {
  if (fd_ < 0) return;
  calls_.Close(fd_);
  fd_ = -1;
}

}  // namespace frosk
