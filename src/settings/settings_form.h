#pragma once

#include <QDialog>

#include "settings/settings_store.h"

namespace frosk {

// Edits a copy of the program's settings. It lives from start-up to exit, so
// its creation loads the program's settings and its destruction saves them.
class TSettingsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSettingsForm(Settings& programSettings, QWidget* parent = nullptr);
  ~TSettingsForm() override;

 private:
  Settings& programSettings_;
};

}  // namespace frosk
