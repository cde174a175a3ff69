#pragma once

#include <cstdint>
#include <string>

namespace frosk {

struct LocalDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  // East of UTC; what the local time is ahead of it.
  int utcOffsetMinutes = 0;
};

// The local date and time, for log stamps and "today".
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual LocalDateTime Now() const = 0;
};

class SystemWallClock final : public WallClock {
 public:
  LocalDateTime Now() const override;
};

class FixedWallClock final : public WallClock {
 public:
  explicit FixedWallClock(LocalDateTime t) : now_(t) {}
  LocalDateTime Now() const override { return now_; }
  void Set(LocalDateTime t) { now_ = t; }

 private:
  LocalDateTime now_;
};

// "yyyy-mm-dd"
std::string FormatDate(const LocalDateTime& t);
// "hh:nn:ss"
std::string FormatTime(const LocalDateTime& t);
// "yyyy-mm-dd hh:nn:ss"
std::string FormatDateTime(const LocalDateTime& t);
// ISO 8601 with milliseconds and the offset: "2026-12-10T14:03:07.512+01:00".
std::string FormatIsoDateTime(const LocalDateTime& t);
// The wall-clock time as milliseconds since the epoch.
int64_t EpochMs(const LocalDateTime& t);

}  // namespace frosk
