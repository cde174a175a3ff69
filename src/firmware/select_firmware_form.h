#pragma once

#include <QDialog>

namespace frosk {

// The firmware target dialog: what to program, on which port, from which file.
class TSelectFirmwareForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSelectFirmwareForm(QWidget* parent = nullptr);
};

}  // namespace frosk
