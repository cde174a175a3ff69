#pragma once

#include <QObject>
#include <functional>

namespace frosk {

// Ends the run as a confirmed exit would, without the exit question, when the
// system asks rather than the user. SIGTERM, SIGINT and SIGHUP save the
// settings and leave the event loop, so main() then destroys the windows and
// the engine as at every end (a second signal ends the program at once). The
// end of the desktop session saves them at once: the session manager may end
// the program without another word. One lives for the run, in main().
class SessionEnd : public QObject {
  Q_OBJECT

 public:
  explicit SessionEnd(std::function<void()> saveSettings, QObject* parent = nullptr);
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

 private:
  void SignalArrived();

  std::function<void()> saveSettings_;
};

}  // namespace frosk
