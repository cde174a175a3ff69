#include "firmware/upload_firmware_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "common/form_basics.h"
#include "firmware/view_log_form.h"

namespace frosk {

namespace {

// How long a programmer that has verified may take to close its session with
// the device before the dialog lets the next scan have the port.
constexpr int kSessionEndMs = 2000;

QLabel* NewLabel(const char* name, const QString& text, const QColor& colour, bool bold, QWidget* parent) {
  auto* label = Label(parent, QLatin1String(name), text);
  label->setFont(UiFont(13, bold));
  label->setWordWrap(true);
  SetTextColour(label, colour);
  return label;
}

// A page of labels stacked from the top, with an optional button under them.
QWidget* NewPage(std::initializer_list<QWidget*> widgets, QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(20, 16, 20, 8);
  column->setSpacing(10);
  for (QWidget* widget : widgets) {
    widget->setParent(page);
    column->addWidget(widget, 0, qobject_cast<QPushButton*>(widget) ? Qt::AlignLeft : Qt::Alignment());
  }
  column->addStretch();
  return page;
}

}  // namespace

TUploadFirmwareForm::TUploadFirmwareForm(ProgrammerRunner& runner, const Settings& settings, QWidget* parent)
    : QDialog(parent), runner_(runner), settings_(settings) {
  BuildLayout();
  connect(startBtn_, &QPushButton::clicked, this, &TUploadFirmwareForm::StartBtnClick);
  connect(retryBtn_, &QPushButton::clicked, this, &TUploadFirmwareForm::RetryBtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &TUploadFirmwareForm::reject);
  connect(viewLogButton_, &QPushButton::clicked, this, &TUploadFirmwareForm::ViewLogButtonClick);
  connect(findChild<QPushButton*>(QStringLiteral("ViewLog2Button")), &QPushButton::clicked, this,
          &TUploadFirmwareForm::ViewLogButtonClick);
  connect(&runner_, &ProgrammerRunner::Changed, this, &TUploadFirmwareForm::ShowRun);
}

void TUploadFirmwareForm::BuildLayout() {
  setObjectName(QStringLiteral("UploadFirmwareForm"));
  setWindowTitle(QStringLiteral("Firmware Upgrade"));
  // The run must end through the dialog's own buttons, never half-way through a tool.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFont(UiFont(13));
  setFixedSize(440, 300);

  pages_ = new QStackedWidget(this);
  pages_->setObjectName(QStringLiteral("Pages"));
  // In the order of the states: Ready, In progress, Done, Error.
  pages_->addWidget(BuildReadyPage());
  pages_->addWidget(BuildProgressPage());
  pages_->addWidget(BuildDonePage());
  pages_->addWidget(BuildErrorPage());

  startBtn_ = Button(this, "StartBtn", QStringLiteral("Start"));
  startBtn_->setDefault(true);
  cancelBtn_ = Button(this, "CancelBtn", QStringLiteral("Cancel"));
  retryBtn_ = Button(this, "RetryBtn", QStringLiteral("Retry"));
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(16, 4, 16, 12);
  buttons->addStretch();
  buttons->addWidget(startBtn_);
  buttons->addWidget(retryBtn_);
  buttons->addWidget(cancelBtn_);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  QLabel* title = NewHeaderPanel(QStringLiteral("Firmware Upgrade"), this);
  title->setObjectName(QStringLiteral("TitlePanel"));
  column->addWidget(title);
  column->addWidget(pages_, 1);
  column->addLayout(buttons);
}

QWidget* TUploadFirmwareForm::BuildReadyPage() {
  infoRichEdit_ = new QTextEdit;
  infoRichEdit_->setObjectName(QStringLiteral("InfoRichEdit"));
  infoRichEdit_->setReadOnly(true);
  infoRichEdit_->setFrameShape(QFrame::NoFrame);
  infoRichEdit_->setFocusPolicy(Qt::NoFocus);
  // A file's path has no blanks to break at.
  infoRichEdit_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  QWidget* page = NewPage({infoRichEdit_}, pages_);
  page->layout()->setContentsMargins(16, 8, 16, 0);
  return page;
}

QWidget* TUploadFirmwareForm::BuildProgressPage() {
  statusLabel_ = NewLabel("StatusLabel", QString(), kRedOrange, true, nullptr);
  progressBar_ = new QProgressBar;
  progressBar_->setObjectName(QStringLiteral("ProgressBar"));
  progressBar_->setRange(0, 100);
  return NewPage(
      {statusLabel_, NewLabel("Status2Label", QStringLiteral("Please wait"), kRedOrange, false, nullptr), progressBar_},
      pages_);
}

QWidget* TUploadFirmwareForm::BuildDonePage() {
  viewLogButton_ = Button(nullptr, "ViewLogButton", QStringLiteral("View Log..."));
  return NewPage(
      {NewLabel("DoneLabel", QStringLiteral("Congratulations! Your device has been upgraded."), kGreen, true, nullptr),
       NewLabel("Done2Label", QStringLiteral("Click <Close> to return to main window."), kGreen, false, nullptr),
       viewLogButton_},
      pages_);
}

QWidget* TUploadFirmwareForm::BuildErrorPage() {
  errorLabel_ = NewLabel("ErrorLabel", QString(), kRedOrange, true, nullptr);
  errorDetailLabel_ = NewLabel("ErrorDetailLabel", QString(), kRedOrange, false, nullptr);
  errorDetailLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return NewPage(
      {errorLabel_, errorDetailLabel_,
       NewLabel("Error2Label", QStringLiteral("Click <Retry> if you want to try again."), kRedOrange, false, nullptr),
       Button(nullptr, "ViewLog2Button", QStringLiteral("View Log..."))},
      pages_);
}

void TUploadFirmwareForm::SetJob(int target, const std::string& portName, const std::string& file) {
  runner_.SetJob(target, portName, file);
}

void TUploadFirmwareForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
  CentreOnScreen(this);
}

void TUploadFirmwareForm::FormShow() {
  viewLogButton_->setVisible(settings_.ServiceMode);
  runner_.SetState(ProgrammingState::kReady);
}

void TUploadFirmwareForm::Tick() { runner_.Tick(); }

void TUploadFirmwareForm::StartBtnClick() { runner_.Start(); }

void TUploadFirmwareForm::RetryBtnClick() { runner_.Retry(); }

void TUploadFirmwareForm::ViewLogButtonClick() {
  if (viewLogForm_ == nullptr) return;
  viewLogForm_->SetLog(runner_.Log());
  viewLogForm_->exec();
}

// What Start will write where, under the instructions. After a run found the
// other bootloader variant, the target and file are another image than the
// one chosen: they are marked, or the technician would not see it.
QString TUploadFirmwareForm::JobHtml() const {
  QString html;
  for (const std::string& line : InstructionLines(runner_.Target()))
    html += QString::fromStdString(line).toHtmlEscaped() + QStringLiteral("<br>");
  const QString changed = runner_.JobSwitched() ? QStringLiteral(" (changed)") : QString();
  const auto jobLine = [&](const QString& name, const std::string& value) {
    const QString line = name + changed + QStringLiteral(": ") + QString::fromStdString(value).toHtmlEscaped();
    if (!runner_.JobSwitched()) return line;
    return QStringLiteral("<b><font color=\"%1\">%2</font></b>").arg(kRedOrange.name(), line);
  };
  html += QStringLiteral("<br>") + jobLine(QStringLiteral("Target"), TargetName(runner_.Target()));
  // The 1WIRE memory is written without a file.
  if (!runner_.File().empty()) html += QStringLiteral("<br>") + jobLine(QStringLiteral("File"), runner_.File());
  return html;
}

// The instructions and the job follow the target, which a run that found the
// other bootloader variant has switched for the retry.
void TUploadFirmwareForm::ShowRun() {
  const ProgrammingState state = runner_.State();
  pages_->setCurrentIndex(static_cast<int>(state));
  startBtn_->setVisible(state == ProgrammingState::kReady);
  cancelBtn_->setVisible(state != ProgrammingState::kInProgress);
  cancelBtn_->setText(state == ProgrammingState::kReady ? QStringLiteral("Cancel") : QStringLiteral("Close"));
  retryBtn_->setVisible(state == ProgrammingState::kError);
  switch (state) {
    case ProgrammingState::kReady: infoRichEdit_->setHtml(JobHtml()); break;
    case ProgrammingState::kInProgress:
      statusLabel_->setText(QString::fromStdString(runner_.StatusText()));
      progressBar_->setValue(runner_.Progress());
      break;
    case ProgrammingState::kDone: break;
    case ProgrammingState::kError:
      errorLabel_->setText(QString::fromStdString(runner_.ErrorText()));
      errorDetailLabel_->setText(QString::fromStdString(runner_.Detail()));
      errorDetailLabel_->setVisible(!runner_.Detail().empty());
      break;
  }
}

// Escape, like the hidden Cancel button, cannot end a run half-way.
void TUploadFirmwareForm::reject() {
  if (Running()) return;
  QDialog::reject();
}

// Nor can the window manager's close (Alt+F4).
void TUploadFirmwareForm::closeEvent(QCloseEvent* event) {
  if (Running()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TUploadFirmwareForm::done(int result) {
  runner_.WaitForTool(kSessionEndMs);
  QDialog::done(result);
}

}  // namespace frosk
