#pragma once

#include <signal.h>

#include <QObject>
#include <initializer_list>
#include <utility>
#include <vector>

namespace frosk {

// Brings POSIX signals into the event loop. A handler may do next to nothing
// safely, so it only notes the signal and writes its number into a pipe; the
// loop reads the pipe and emits Caught, where any work is safe. Each signal is
// caught once: the first asks for an orderly end, and should that hang, the
// next one of the same kind ends the program as it would have without us.
// Signal dispositions belong to the whole process, so one notifier lives at a
// time.
class SignalNotifier : public QObject {
  Q_OBJECT

 public:
  // Whether a signal that whoever started us set to be ignored stays ignored.
  // The desktop program keeps it so (nohup, a background job); froskctl
  // catches it, since a script stops its background froskctl with kill -INT.
  enum class Ignored { kKeep, kCatch };

  SignalNotifier(std::initializer_list<int> numbers, Ignored ignored, QObject* parent = nullptr);
  ~SignalNotifier() override;
  SignalNotifier(const SignalNotifier&) = delete;
  SignalNotifier& operator=(const SignalNotifier&) = delete;

  // The first signal caught since the notifier was made, 0 for none. Known as
  // soon as the handler ran, before the event loop has seen it.
  static int FirstCaught();
  // Readable once a signal was caught, for a wait outside the event loop (a
  // question asked on the terminal); -1 while no notifier lives.
  static int Descriptor();

 signals:
  void Caught(int signal);

 private:
  void Drain();

  // The signals this notifier took over, with what they did before.
  std::vector<std::pair<int, struct sigaction>> taken_;
};

}  // namespace frosk
