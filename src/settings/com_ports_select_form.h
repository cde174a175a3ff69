#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "common/port_lister.h"

class QCheckBox;
class QWidget;

namespace frosk {

// Chooses the ports a scan probes among COM1 to COM32. The ports of this
// platform that no COM box stands for (ttyUSB0, /dev/pts/3, COM40) get a box
// of their own below the 32, one for every such name selected or listed by
// the system.
class TComPortsSelectForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kComBoxCount = 32;

  explicit TComPortsSelectForm(PortLister listPorts, QWidget* parent = nullptr);

  // Filled by the caller before showing; after OK, the ticked ports in box order.
  std::vector<std::string>& SelectedPorts() { return selectedPorts_; }

 public slots:
  void FormShow();
  void CheckAvailableBtnClick();
  void OkBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout();
  void FormCreate();
  void RemoveExtraBoxes();
  // Adds a box for each name that has none yet.
  void AddExtraBoxes(const std::vector<std::string>& names);
  void PlaceExtraBoxes();
  void TickSelected();

  PortLister listPorts_;
  std::vector<std::string> selectedPorts_;
  QWidget* boxPanel_ = nullptr;
  std::array<QCheckBox*, kComBoxCount> comBoxes_{};
  std::vector<QCheckBox*> extraBoxes_;
};

}  // namespace frosk
