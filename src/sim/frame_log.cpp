#include "sim/frame_log.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace frosk::sim {

std::unique_ptr<FrameLog> FrameLog::Open(const std::string& path, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "ae");
  if (file == nullptr) {
    if (error != nullptr) *error = "cannot open the log " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<FrameLog>(new FrameLog(file));
}

FrameLog::~FrameLog() { std::fclose(file_); }

void FrameLog::Write(std::string_view device, std::string_view direction, std::string_view frame, std::string_view key,
                     std::string_view note) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char time[32];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  std::string line = time;
  for (std::string_view part : {device, direction, frame, key}) {
    line += ' ';
    line += part;
  }
  if (!note.empty()) {
    line += " (";
    line += note;
    line += ')';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace frosk::sim
