#include "support/event_pump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace frosk::test {

void EnsureCoreApplication() {
  static int argc = 1;
  static char name[] = "frosk-test";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) static QCoreApplication app(argc, argv);
}

void PumpEvents(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done()) {
    if (elapsed.elapsed() > timeoutMs) return false;
    PumpEvents(5);
  }
  return true;
}

bool DriveTicks(ManualTickClock& clock, const std::function<void()>& tick, const std::function<bool()>& done,
                int maxTicks) {
  for (int i = 0; i < maxTicks; ++i) {
    if (done()) return true;
    PumpEvents(10);
    clock.Advance(100);
    tick();
  }
  return done();
}

}  // namespace frosk::test
