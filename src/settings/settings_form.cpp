#include "settings/settings_form.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/form_basics.h"
#include "settings/com_ports_select_form.h"

namespace frosk {

TSettingsForm::TSettingsForm(Settings& programSettings, TComPortsSelectForm& comPortsSelectForm, QWidget* parent)
    : QDialog(parent), programSettings_(programSettings), comPortsSelectForm_(comPortsSelectForm) {
  BuildLayout();
  LoadSettings(programSettings_);
}

TSettingsForm::~TSettingsForm() { SaveSettings(programSettings_); }

void TSettingsForm::BuildLayout() {
  setObjectName(QStringLiteral("SettingsForm"));
  setWindowTitle(QStringLiteral("Settings"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFont(UiFont(13));
  setFixedSize(418, 221);

  QLabel* header = NewHeaderPanel(QStringLiteral("Settings"), this);
  header->setObjectName(QStringLiteral("HeaderPanel"));

  updatesAutoCheckCheckBox_ = new QCheckBox(QStringLiteral("Automatic Check for Updates"), this);
  updatesAutoCheckCheckBox_->setObjectName(QStringLiteral("UpdatesAutoCheckCheckBox"));
  useSpecificPortsCheckBox_ = new QCheckBox(QStringLiteral("Use Specific Com Ports:"), this);
  useSpecificPortsCheckBox_->setObjectName(QStringLiteral("UseSpecificPortsCheckBox"));
  auto* label1 = new QLabel(QStringLiteral("(disable ports scanning)"), this);
  label1->setObjectName(QStringLiteral("Label1"));
  portsListEdit_ = new QLineEdit(this);
  portsListEdit_->setObjectName(QStringLiteral("PortsListEdit"));
  portsListEdit_->setReadOnly(true);
  QPalette grey = portsListEdit_->palette();
  grey.setColor(QPalette::Base, QColor(Qt::lightGray));
  portsListEdit_->setPalette(grey);
  QPushButton* portsListButton = Button(this, "PortsListButton", QStringLiteral("..."));
  portsListButton->setFixedWidth(32);

  QPushButton* defaultBtn = Button(this, "DefaultBtn", QStringLiteral("Default"));
  QPushButton* okBtn = Button(this, "OkBtn", QStringLiteral("OK"));
  okBtn->setDefault(true);
  QPushButton* cancelBtn = Button(this, "CancelBtn", QStringLiteral("Cancel"));

  auto* fields = new QGridLayout;
  fields->setContentsMargins(16, 10, 16, 0);
  fields->setVerticalSpacing(6);
  fields->addWidget(updatesAutoCheckCheckBox_, 0, 0, 1, 3);
  fields->addWidget(useSpecificPortsCheckBox_, 1, 0);
  fields->addWidget(label1, 1, 1, 1, 2);
  fields->addWidget(portsListEdit_, 2, 0, 1, 2);
  fields->addWidget(portsListButton, 2, 2);
  fields->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(16, 0, 16, 12);
  buttons->addWidget(defaultBtn);
  buttons->addStretch();
  buttons->addWidget(okBtn);
  buttons->addWidget(cancelBtn);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(header);
  column->addLayout(fields);
  column->addStretch();
  column->addLayout(buttons);

  connect(updatesAutoCheckCheckBox_, &QCheckBox::clicked, this, &TSettingsForm::AnyCheckBoxClick);
  connect(useSpecificPortsCheckBox_, &QCheckBox::clicked, this, &TSettingsForm::AnyCheckBoxClick);
  connect(portsListButton, &QPushButton::clicked, this, &TSettingsForm::PortsListButtonClick);
  connect(defaultBtn, &QPushButton::clicked, this, &TSettingsForm::DefaultBtnClick);
  connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TSettingsForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
  CentreOnScreen(this);
}

void TSettingsForm::FormShow() {
  updatesAutoCheckCheckBox_->setChecked(dialogSettings_.UpdatesAutoCheck);
  useSpecificPortsCheckBox_->setChecked(dialogSettings_.UseSpecificPorts);
  portsListEdit_->setText(QString::fromStdString(dialogSettings_.PortsList));
  portsListEdit_->setCursorPosition(0);
}

void TSettingsForm::AnyCheckBoxClick() {
  if (sender() == updatesAutoCheckCheckBox_) dialogSettings_.UpdatesAutoCheck = updatesAutoCheckCheckBox_->isChecked();
  if (sender() == useSpecificPortsCheckBox_) dialogSettings_.UseSpecificPorts = useSpecificPortsCheckBox_->isChecked();
  FormShow();
}

void TSettingsForm::PortsListButtonClick() {
  comPortsSelectForm_.SelectedPorts() = PortsListToStrings(dialogSettings_);
  if (comPortsSelectForm_.exec() != QDialog::Accepted) return;
  dialogSettings_.PortsList = JoinPortNames(comPortsSelectForm_.SelectedPorts());
  FormShow();
}

// The copy's ServiceMode goes back to off too: after OK the program runs
// without service mode until it ends, while the stored value stays.
void TSettingsForm::DefaultBtnClick() {
  ResetSettings(dialogSettings_);
  FormShow();
}

}  // namespace frosk
