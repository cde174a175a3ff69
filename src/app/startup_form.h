#pragma once

#include <QDialog>

class QLabel;

namespace frosk {

// The splash: shows what the program is doing while the main window is
// hidden (start-up, exit), and doubles as the About box.
class TStartupForm : public QDialog {
  Q_OBJECT

 public:
  explicit TStartupForm(QWidget* parent = nullptr);

  // While false the user cannot close the splash; the About box sets it for good.
  bool AboutMode() const { return aboutMode_; }
  void SetAboutMode(bool on) { aboutMode_ = on; }

  // The last log line's text.
  void ShowStatus(const QString& text);
  // "Click to close" in green once the program is ready, "Please wait" in red-orange before.
  void ShowReady(bool ready);

  // The About box: closes on a click.
  void ShowAbout();

 public slots:
  void BackgroundClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void WireActions();

  bool aboutMode_ = false;
  QLabel* backgroundImage_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QLabel* versionLabel_ = nullptr;
  QLabel* infoLabel_ = nullptr;
};

}  // namespace frosk
