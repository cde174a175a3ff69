#pragma once

#include <QWidget>

#include "app/device_window.h"

namespace frosk {

// One connected controller's window. The discovery engine owns it through
// the device's entry and destroys it when the device's link closes.
class TFroskTecViewForm : public QWidget, public DeviceWindow {
  Q_OBJECT

 public:
  explicit TFroskTecViewForm(QWidget* parent = nullptr);

  void ReceiveItem(const uint8_t* item) override;
  void Tick() override;
  void Show() override;
  void Hide() override;
  bool IsVisible() const override;
};

}  // namespace frosk
