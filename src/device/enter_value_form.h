#pragma once

#include <QDialog>

namespace frosk {

// The value dialog: one setting's new value within its limits.
class TEnterValueForm : public QDialog {
  Q_OBJECT

 public:
  explicit TEnterValueForm(QWidget* parent = nullptr);
};

}  // namespace frosk
