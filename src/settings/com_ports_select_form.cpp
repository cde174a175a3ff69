#include "settings/com_ports_select_form.h"

#include "common/form_basics.h"

namespace frosk {

TComPortsSelectForm::TComPortsSelectForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Select Com Ports"));
  setFont(UiFont(13));
  setFixedSize(468, 358);
  CentreOnScreen(this);
}

}  // namespace frosk
