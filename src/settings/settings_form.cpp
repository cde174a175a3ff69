#include "settings/settings_form.h"

#include "common/form_basics.h"

namespace frosk {

TSettingsForm::TSettingsForm(Settings& programSettings, QWidget* parent)
    : QDialog(parent), programSettings_(programSettings) {
  setWindowTitle(QStringLiteral("Settings"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(418, 221);
  CentreOnScreen(this);
  LoadSettings(programSettings_);
}

TSettingsForm::~TSettingsForm() { SaveSettings(programSettings_); }

}  // namespace frosk
