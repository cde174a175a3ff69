#include "device/frosktec_view_form.h"

#include "common/form_basics.h"

namespace frosk {

TFroskTecViewForm::TFroskTecViewForm(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("FroskTEC"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(987, 642);
  CentreOnScreen(this);
}

void TFroskTecViewForm::ReceiveItem(const uint8_t*) {}

void TFroskTecViewForm::Tick() {}

void TFroskTecViewForm::Show() {
  show();
  raise();
  activateWindow();
}

void TFroskTecViewForm::Hide() { hide(); }

bool TFroskTecViewForm::IsVisible() const { return isVisible(); }

}  // namespace frosk
