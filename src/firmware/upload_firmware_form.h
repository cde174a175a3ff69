#pragma once

#include <QDialog>
#include <string>

#include "firmware/programmer_runner.h"
#include "settings/settings_store.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTextEdit;

namespace frosk {

class TViewLogForm;

// The firmware programming dialog: shows the programmer runner's run, page by
// page, and hands it the buttons. The main window ticks it while it is shown.
class TUploadFirmwareForm : public QDialog {
  Q_OBJECT

 public:
  // `settings` is the program's record: its ServiceMode is read at every showing.
  TUploadFirmwareForm(ProgrammerRunner& runner, const Settings& settings, QWidget* parent = nullptr);

  // The log window, created after this one.
  void SetViewLogForm(TViewLogForm* viewLogForm) { viewLogForm_ = viewLogForm; }
  // What to program; set before each showing.
  void SetJob(int target, const std::string& portName, const std::string& file);
  // Every 100 ms from the main window's timer while the dialog is shown.
  void Tick();

 public slots:
  void FormShow();
  void StartBtnClick();
  void RetryBtnClick();
  void ViewLogButtonClick();
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;

 private:
  void BuildLayout();
  QWidget* BuildReadyPage();
  QWidget* BuildProgressPage();
  QWidget* BuildDonePage();
  QWidget* BuildErrorPage();
  void ShowRun();
  QString JobHtml() const;
  bool Running() const { return runner_.State() == ProgrammingState::kInProgress; }

  ProgrammerRunner& runner_;
  const Settings& settings_;
  TViewLogForm* viewLogForm_ = nullptr;

  QStackedWidget* pages_ = nullptr;
  QTextEdit* infoRichEdit_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* errorLabel_ = nullptr;
  QLabel* errorDetailLabel_ = nullptr;
  QPushButton* viewLogButton_ = nullptr;
  QPushButton* startBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  QPushButton* retryBtn_ = nullptr;
};

}  // namespace frosk
