#pragma once

#include <string>

namespace frosk {

struct LocalDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
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

}  // namespace frosk
