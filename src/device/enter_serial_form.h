#pragma once

#include <QDialog>

namespace frosk {

// The serial number dialog of the configurator, old or new format.
class TEnterSerialForm : public QDialog {
  Q_OBJECT

 public:
  explicit TEnterSerialForm(QWidget* parent = nullptr);
};

}  // namespace frosk
