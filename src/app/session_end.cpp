#include "app/session_end.h"

#include <signal.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include "common/signal_notifier.h"

#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace frosk {

SessionEnd::SessionEnd(std::function<void()> saveSettings, QObject* parent)
    : QObject(parent), saveSettings_(std::move(saveSettings)) {
#if QT_CONFIG(sessionmanager)
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    connect(
        app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { saveSettings_(); },
        Qt::DirectConnection);
#endif

  // A signal ignored by whoever started us (nohup, a background job) stays ignored.
  auto* endSignals = new SignalNotifier({SIGTERM, SIGINT, SIGHUP}, SignalNotifier::Ignored::kKeep, this);
  connect(endSignals, &SignalNotifier::Caught, this, &SessionEnd::SignalArrived);
}

void SessionEnd::SignalArrived() {
  saveSettings_();
  // Every event loop ends, the nested loops of open boxes and dialogs first;
  // the exit question and the exit delay are for the user's own close.
  QCoreApplication::exit(0);
}

}  // namespace frosk
