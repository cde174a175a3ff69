#include "trends/recording_buttons.h"

#include <QPushButton>

#include "trends/device_trends.h"

namespace frosk {

RecordingButtons::RecordingButtons(DeviceTrends& trends, QWidget* parent)
    : QObject(parent),
      trends_(trends),
      record_(new QPushButton(QStringLiteral("Record"), parent)),
      folder_(new QPushButton(QStringLiteral("Recording Folder..."), parent)) {
  record_->setObjectName(QStringLiteral("RecordBitBtn"));
  folder_->setObjectName(QStringLiteral("RecordingFolderBitBtn"));
  connect(record_, &QPushButton::clicked, this, &RecordingButtons::RecordBitBtnClick);
  connect(folder_, &QPushButton::clicked, this, &RecordingButtons::RecordingFolderBitBtnClick);
  connect(&trends_, &DeviceTrends::RecordingChanged, this, &RecordingButtons::Refresh);
  Refresh();
}

void RecordingButtons::RecordBitBtnClick() {
  if (trends_.Recording().Recording())
    trends_.StopRecording();
  else
    trends_.StartRecording();
}

void RecordingButtons::RecordingFolderBitBtnClick() { trends_.ChooseRecordingFolder(); }

void RecordingButtons::Refresh() {
  const bool recording = trends_.Recording().Recording();
  const QString caption = recording ? QStringLiteral("Stop Recording") : QStringLiteral("Record");
  if (record_->text() != caption) record_->setText(caption);
  record_->setEnabled(recording || trends_.Connection().IsOpen());
  folder_->setToolTip(QString::fromStdString(trends_.RecordingFolder()));
}

}  // namespace frosk
