#pragma once

#include <QObject>

class QPushButton;
class QWidget;

namespace frosk {

class DeviceTrends;

// The Record button and "Recording Folder..." beside it, as the trends window
// and the device window both show them: one starts and stops the recording of
// the device, the other chooses the folder recordings go to.
class RecordingButtons : public QObject {
  Q_OBJECT

 public:
  RecordingButtons(DeviceTrends& trends, QWidget* parent);

  QPushButton* Record() const { return record_; }
  QPushButton* Folder() const { return folder_; }

 public slots:
  void RecordBitBtnClick();
  void RecordingFolderBitBtnClick();
  // The Record button's caption and enabling follow the recording and the link.
  void Refresh();

 private:
  DeviceTrends& trends_;
  QPushButton* record_;
  QPushButton* folder_;
};

}  // namespace frosk
