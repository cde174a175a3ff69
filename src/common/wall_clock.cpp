#include "common/wall_clock.h"

#include <cstdio>
#include <ctime>

namespace frosk {

LocalDateTime SystemWallClock::Now() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  return {local.tm_year + 1900,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          static_cast<int>(now.tv_nsec / 1000000),
          static_cast<int>(local.tm_gmtoff / 60)};
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

std::string FormatIsoDateTime(const LocalDateTime& t) {
  const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second, t.millisecond, t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

int64_t EpochMs(const LocalDateTime& t) {
  std::tm fields{};
  fields.tm_year = t.year - 1900;
  fields.tm_mon = t.month - 1;
  fields.tm_mday = t.day;
  fields.tm_hour = t.hour;
  fields.tm_min = t.minute;
  fields.tm_sec = t.second;
  // The fields are local time at the given offset, so they are read as UTC
  // and moved back by the offset: the zone's rules play no part.
  const int64_t seconds = static_cast<int64_t>(timegm(&fields)) - int64_t{t.utcOffsetMinutes} * 60;
  return seconds * 1000 + t.millisecond;
}

}  // namespace frosk
