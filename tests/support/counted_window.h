#pragma once

#include "device/device_connection.h"

namespace frosk::test {

// A device window with nothing on it, for tests of whoever keeps windows: it
// counts its ends when given a counter.
class CountedWindow : public DeviceWindow {
 public:
  explicit CountedWindow(int* destroyed = nullptr) : destroyed_(destroyed) {}
  ~CountedWindow() override {
    if (destroyed_ != nullptr) ++*destroyed_;
  }

  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  bool IsVisible() const override { return visible; }
  void ShowTrends() override { ++trendsShown; }

  bool visible = true;
  int trendsShown = 0;

 private:
  int* destroyed_;
};

}  // namespace frosk::test
