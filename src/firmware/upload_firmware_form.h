#pragma once

#include <QDialog>

namespace frosk {

// The firmware programming dialog: runs the programming tool and follows its output.
class TUploadFirmwareForm : public QDialog {
  Q_OBJECT

 public:
  explicit TUploadFirmwareForm(QWidget* parent = nullptr);
};

}  // namespace frosk
