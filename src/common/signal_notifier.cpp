#include "common/signal_notifier.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace frosk {

namespace {

int signalPipe[2] = {-1, -1};
volatile sig_atomic_t firstCaught = 0;

void OnSignal(int number) {
  const int savedErrno = errno;
  if (firstCaught == 0) firstCaught = number;
  const auto byte = static_cast<char>(number);
  (void)!write(signalPipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

SignalNotifier::SignalNotifier(std::initializer_list<int> numbers, Ignored ignored, QObject* parent) : QObject(parent) {
  firstCaught = 0;
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals keep what they did
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &SignalNotifier::Drain);

  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (const int number : numbers) {
    struct sigaction before = {};
    if (sigaction(number, nullptr, &before) != 0) continue;
    if (ignored == Ignored::kKeep && before.sa_handler == SIG_IGN) continue;
    if (sigaction(number, &action, nullptr) == 0) taken_.emplace_back(number, before);
  }
}

SignalNotifier::~SignalNotifier() {
  if (signalPipe[0] < 0) return;
  for (const auto& [number, before] : taken_) {
    struct sigaction current = {};
    // A signal that came already went back to its default; leave it there.
    if (sigaction(number, nullptr, &current) == 0 && current.sa_handler == OnSignal)
      sigaction(number, &before, nullptr);
  }
  for (int& fd : signalPipe) {
    close(fd);
    fd = -1;
  }
}

int SignalNotifier::FirstCaught() { return firstCaught; }

int SignalNotifier::Descriptor() { return signalPipe[0]; }

void SignalNotifier::Drain() {
  char caught[16];
  ssize_t count;
  while ((count = read(signalPipe[0], caught, sizeof caught)) > 0)
    for (ssize_t i = 0; i < count; ++i) emit Caught(caught[i]);
}

}  // namespace frosk
