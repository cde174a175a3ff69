#pragma once

#include <QDialog>

#include "settings/settings_store.h"

class QCheckBox;
class QLineEdit;

namespace frosk {

class TComPortsSelectForm;

// Edits a copy of the program's settings. It lives from start-up to exit, so
// its creation loads the program's settings and its destruction saves them.
class TSettingsForm : public QDialog {
  Q_OBJECT

 public:
  // The port dialog is created before this one and outlives it.
  TSettingsForm(Settings& programSettings, TComPortsSelectForm& comPortsSelectForm, QWidget* parent = nullptr);
  ~TSettingsForm() override;

  // The copy the dialog edits: filled by the caller before showing, read after OK.
  Settings& DialogSettings() { return dialogSettings_; }

 public slots:
  void FormShow();
  void AnyCheckBoxClick();
  void PortsListButtonClick();
  void DefaultBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout();

  Settings& programSettings_;
  TComPortsSelectForm& comPortsSelectForm_;
  Settings dialogSettings_;

  QCheckBox* updatesAutoCheckCheckBox_ = nullptr;
  QCheckBox* useSpecificPortsCheckBox_ = nullptr;
  QLineEdit* portsListEdit_ = nullptr;
};

}  // namespace frosk
