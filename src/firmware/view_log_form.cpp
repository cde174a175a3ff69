#include "firmware/view_log_form.h"

namespace frosk {

TViewLogForm::TViewLogForm(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("View Log")); }

}  // namespace frosk
