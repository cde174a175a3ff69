#include "app/session_end.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>

#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace frosk {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write: the byte wakes the event loop, which does the work.
int signalPipe[2] = {-1, -1};

void OnEndSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  (void)!write(signalPipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

SessionEnd::SessionEnd(std::function<void()> saveSettings, QObject* parent)
    : QObject(parent), saveSettings_(std::move(saveSettings)) {
#if QT_CONFIG(sessionmanager)
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    connect(
        app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { saveSettings_(); },
        Qt::DirectConnection);
#endif

  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals keep their default actions
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SessionEnd::SignalArrived);

  struct sigaction action = {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  // The first signal asks for the orderly end; should that hang, the next one ends the program.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (const int number : kEndSignals) {
    struct sigaction before = {};
    // A signal ignored by whoever started us (nohup, a background job) stays ignored.
    if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(number, &action, nullptr);
  }
}

SessionEnd::~SessionEnd() {
  if (notifier_ == nullptr) return;
  for (const int number : kEndSignals) {
    struct sigaction current = {};
    if (sigaction(number, nullptr, &current) == 0 && current.sa_handler == OnEndSignal) signal(number, SIG_DFL);
  }
  delete notifier_;
  notifier_ = nullptr;
  for (int& fd : signalPipe) {
    close(fd);
    fd = -1;
  }
}

void SessionEnd::SignalArrived() {
  char bytes[16];
  while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
  }
  saveSettings_();
  // Every event loop ends, the nested loops of open boxes and dialogs first;
  // the exit question and the exit delay are for the user's own close.
  QCoreApplication::exit(0);
}

}  // namespace frosk
