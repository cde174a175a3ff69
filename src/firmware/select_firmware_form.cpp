#include "firmware/select_firmware_form.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <vector>

#include "common/form_basics.h"
#include "firmware/firmware_files.h"
#include "firmware/programmer_runner.h"

namespace frosk {

namespace {

// Entry i is target i + 1 in both lists; the service list offers every target by its name.
const char* const kUserTargets[] = {
    "QUVA V2 Firmware (default hardware version)",
    "QUVA V1 Firmware (obsolete hardware version)",
    "KAZ Module Firmware",
};

constexpr int kOneWireTarget = 4;

// Targets 5 and 6 go through the USB programmer; the others through the controller's port.
bool NeedsPort(int target) { return target >= 1 && target <= 4; }

bool IsFile(const std::string& path) { return !path.empty() && QFileInfo(QString::fromStdString(path)).isFile(); }

}  // namespace

TSelectFirmwareForm::TSelectFirmwareForm(PortLister listPorts, Prompter& prompter, QWidget* parent)
    : QDialog(parent), listPorts_(std::move(listPorts)), prompter_(prompter) {
  BuildLayout();
  connect(deviceTypeComboBox_, &QComboBox::currentIndexChanged, this, &TSelectFirmwareForm::AnyComboBoxChange);
  connect(comPortComboBox_, &QComboBox::currentIndexChanged, this, &TSelectFirmwareForm::AnyComboBoxChange);
  connect(fileDefaultRadioButton_, &QRadioButton::clicked, this, &TSelectFirmwareForm::AnyRadioButtonClick);
  connect(fileOtherRadioButton_, &QRadioButton::clicked, this, &TSelectFirmwareForm::AnyRadioButtonClick);
  connect(fileButton_, &QPushButton::clicked, this, &TSelectFirmwareForm::FileButtonClick);
  connect(okBtn_, &QPushButton::clicked, this, &TSelectFirmwareForm::OkBtnClick);
  FormCreate();
}

void TSelectFirmwareForm::BuildLayout() {
  setObjectName(QStringLiteral("SelectFirmwareForm"));
  setWindowTitle(QStringLiteral("Frosk Flasher"));
  setFont(UiFont(13));

  QLabel* title = Named(NewHeaderPanel(QStringLiteral("Frosk Flasher"), this), "TitlePanel");

  deviceTypeComboBox_ = Named(new QComboBox(this), "DeviceTypeComboBox");
  deviceTypeComboBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  comPortComboBox_ = Named(new QComboBox(this), "ComPortComboBox");
  comPortComboBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  // Wide enough for a device path before any port is chosen.
  comPortComboBox_->setMinimumWidth(160);
  useFileLabel_ = new QLabel(QStringLiteral("Use File:"), this);
  fileDefaultRadioButton_ =
      Named(new QRadioButton(QStringLiteral("default for selected device type"), this), "FileDefaultRadioButton");
  fileOtherRadioButton_ = Named(new QRadioButton(QStringLiteral("other"), this), "FileOtherRadioButton");
  fileNamePanel_ = Named(new QLineEdit(this), "FileNamePanel");
  fileNamePanel_->setReadOnly(true);
  fileNamePanel_->setMinimumWidth(300);
  fileButton_ = Named(new QPushButton(QStringLiteral("..."), this), "FileButton");
  fileButton_->setFixedWidth(32);
  userInfoLabel_ = Named(new QLabel(this), "UserInfoLabel");
  userInfoLabel_->setWordWrap(true);
  okBtn_ = Named(new QPushButton(QStringLiteral("OK"), this), "OkBtn");
  okBtn_->setDefault(true);
  QPushButton* cancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "CancelBtn");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QGridLayout;
  fields->setContentsMargins(16, 12, 16, 4);
  fields->setHorizontalSpacing(10);
  fields->addWidget(new QLabel(QStringLiteral("Target:"), this), 0, 0);
  fields->addWidget(deviceTypeComboBox_, 0, 1, 1, 2);
  fields->addWidget(new QLabel(QStringLiteral("Com Port:"), this), 1, 0);
  fields->addWidget(comPortComboBox_, 1, 1, 1, 2, Qt::AlignLeft);
  fields->addWidget(useFileLabel_, 2, 0);
  fields->addWidget(fileDefaultRadioButton_, 2, 1, 1, 2);
  fields->addWidget(fileOtherRadioButton_, 3, 1, 1, 2);
  fields->addWidget(fileNamePanel_, 4, 1);
  fields->addWidget(fileButton_, 4, 2);
  fields->addWidget(userInfoLabel_, 5, 0, 1, 3);
  fields->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(16, 4, 16, 12);
  buttons->addStretch();
  buttons->addWidget(okBtn_);
  buttons->addWidget(cancel);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(title);
  column->addLayout(fields);
  column->addStretch();
  column->addLayout(buttons);
  // The dialog takes the size of what the list in use shows.
  column->setSizeConstraint(QLayout::SetFixedSize);
  userInfoLabel_->setFixedWidth(420);
}

void TSelectFirmwareForm::FormCreate() {
  target_ = 0;
  portIndex_ = -1;
  useDefaultFile_ = true;
  file_.clear();
}

void TSelectFirmwareForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
  CentreOnScreen(this);
}

void TSelectFirmwareForm::FormShow() {
  userInfoLabel_->setText(QStringLiteral(
      "The QUVA hardware version is automatically recognized during programming, therefore FroskManager would deny "
      "the update, when firmware and hardware are unmatched."));
  {
    const QSignalBlocker quiet(deviceTypeComboBox_);
    deviceTypeComboBox_->clear();
    if (serviceList_) {
      for (int target = 1; target <= kTargetCount; ++target)
        deviceTypeComboBox_->addItem(QString::fromStdString(TargetName(target)));
    } else {
      for (const char* name : kUserTargets) deviceTypeComboBox_->addItem(QLatin1String(name));
    }
  }
  // A target of the service list that the short list lacks would be
  // programmed unseen: the short list starts again from its first entry.
  if (!serviceList_ && (target_ == 0 || target_ > int(std::size(kUserTargets)))) target_ = 1;
  FillPortList();
  if (!serviceList_) useDefaultFile_ = true;
  UpdateControls();
}

// The earlier choice stands only while the number of ports is the same.
void TSelectFirmwareForm::FillPortList() {
  const QSignalBlocker quiet(comPortComboBox_);
  std::vector<std::string> ports;
  if (listPorts_(&ports) != 0) {
    comPortComboBox_->clear();
    portIndex_ = -1;
    return;
  }
  if (comPortComboBox_->count() != int(ports.size())) portIndex_ = -1;
  while (comPortComboBox_->count() > int(ports.size())) comPortComboBox_->removeItem(comPortComboBox_->count() - 1);
  while (comPortComboBox_->count() < int(ports.size())) comPortComboBox_->addItem(QString());
  for (size_t i = 0; i < ports.size(); ++i) comPortComboBox_->setItemText(int(i), QString::fromStdString(ports[i]));
}

void TSelectFirmwareForm::UpdateControls() {
  {
    const QSignalBlocker quietTargets(deviceTypeComboBox_);
    const QSignalBlocker quietPorts(comPortComboBox_);
    deviceTypeComboBox_->setCurrentIndex(target_ - 1);
    comPortComboBox_->setEnabled(NeedsPort(target_));
    comPortComboBox_->setCurrentIndex(NeedsPort(target_) ? portIndex_ : -1);
  }

  userInfoLabel_->setVisible(!serviceList_);
  for (QWidget* control : std::initializer_list<QWidget*>{useFileLabel_, fileDefaultRadioButton_, fileOtherRadioButton_,
                                                          fileNamePanel_, fileButton_})
    control->setVisible(serviceList_);
  if (serviceList_) {
    fileDefaultRadioButton_->setChecked(useDefaultFile_);
    fileOtherRadioButton_->setChecked(!useDefaultFile_);
    fileDefaultRadioButton_->setEnabled(target_ != kOneWireTarget);
    fileOtherRadioButton_->setEnabled(target_ != kOneWireTarget);
    fileNamePanel_->setText(useDefaultFile_ ? QString() : QString::fromStdString(file_));
    fileNamePanel_->setCursorPosition(0);
    fileButton_->setEnabled(!useDefaultFile_);
  }
  okBtn_->setEnabled(CanConfirm());
}

bool TSelectFirmwareForm::CanConfirm() const {
  if (target_ == 0) return false;
  if (NeedsPort(target_) && portIndex_ < 0) return false;
  return useDefaultFile_ || IsFile(file_);
}

void TSelectFirmwareForm::AnyComboBoxChange() {
  if (sender() == deviceTypeComboBox_) {
    const int target = deviceTypeComboBox_->currentIndex() + 1;
    if (target != target_) {
      target_ = target;
      // The 1WIRE memory has no file to choose.
      if (target_ == kOneWireTarget) useDefaultFile_ = true;
    }
  } else if (sender() == comPortComboBox_) {
    portIndex_ = comPortComboBox_->currentIndex();
  }
  UpdateControls();
}

void TSelectFirmwareForm::AnyRadioButtonClick() {
  useDefaultFile_ = fileDefaultRadioButton_->isChecked();
  UpdateControls();
}

void TSelectFirmwareForm::FileButtonClick() {
  const std::optional<std::string> chosen = prompter_.AskOpenFileName({".hex files only|*.hex", ""});
  if (!chosen) return;
  file_ = *chosen;
  UpdateControls();
}

// The file may have gone since the button was enabled; it is looked at again.
void TSelectFirmwareForm::OkBtnClick() {
  if (!CanConfirm()) {
    UpdateControls();
    return;
  }
  portName_ = portIndex_ >= 0 && portIndex_ < comPortComboBox_->count()
                  ? comPortComboBox_->itemText(portIndex_).toStdString()
                  : std::string();
  accept();
}

}  // namespace frosk
