#pragma once

#include <QDialog>

namespace frosk {

// The programming tool's output of the last run.
class TViewLogForm : public QDialog {
  Q_OBJECT

 public:
  explicit TViewLogForm(QWidget* parent = nullptr);
};

}  // namespace frosk
