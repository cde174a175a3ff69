#include "common/wall_clock.h"

#include <cstdio>
#include <ctime>

namespace frosk {

LocalDateTime SystemWallClock::Now() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string FormatDate(const LocalDateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
  return text;
}

std::string FormatTime(const LocalDateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

std::string FormatDateTime(const LocalDateTime& t) { return FormatDate(t) + " " + FormatTime(t); }

}  // namespace frosk
