#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;

namespace frosk {

// The programming tool's output of the last run.
class TViewLogForm : public QDialog {
  Q_OBJECT

 public:
  explicit TViewLogForm(QWidget* parent = nullptr);

  void SetLog(const std::string& log);

 private:
  QPlainTextEdit* memo_ = nullptr;
};

}  // namespace frosk
