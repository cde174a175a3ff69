#pragma once

#include <QDialog>

namespace frosk {

// Chooses the ports a scan probes among COM1 to COM32.
class TComPortsSelectForm : public QDialog {
  Q_OBJECT

 public:
  explicit TComPortsSelectForm(QWidget* parent = nullptr);
};

}  // namespace frosk
