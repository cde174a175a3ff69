#include "common/signal_notifier.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <vector>

#include "support/event_pump.h"

namespace frosk {
namespace {

void (*Disposition(int number))(int) {
  struct sigaction current = {};
  sigaction(number, nullptr, &current);
  return current.sa_handler;
}

// Each signal reaches the event loop as its number, once: the next of the
// same kind would end the program. A signal ignored from the start stays
// ignored unless the notifier is to catch it anyway, and one that never came
// gets back what it did before.
TEST(SignalNotifierTest, SignalsReachTheLoopOnceAndIgnoredOnesAsAsked) {
  test::EnsureCoreApplication();
  signal(SIGUSR1, SIG_IGN);
  {
    std::vector<int> caught;
    SignalNotifier notifier({SIGUSR1, SIGUSR2}, SignalNotifier::Ignored::kKeep);
    QObject::connect(&notifier, &SignalNotifier::Caught, [&caught](int number) { caught.push_back(number); });
    EXPECT_EQ(SignalNotifier::FirstCaught(), 0);
    raise(SIGUSR1);
    raise(SIGUSR2);
    EXPECT_EQ(SignalNotifier::FirstCaught(), SIGUSR2) << "known before the loop runs";
    EXPECT_TRUE(test::WaitFor([&caught] { return !caught.empty(); }, 2000));
    test::PumpEvents(20);
    EXPECT_EQ(caught, std::vector<int>{SIGUSR2});
    EXPECT_EQ(Disposition(SIGUSR2), SIG_DFL);
  }
  EXPECT_EQ(Disposition(SIGUSR1), SIG_IGN);

  {
    std::vector<int> caught;
    SignalNotifier notifier({SIGUSR1}, SignalNotifier::Ignored::kCatch);
    QObject::connect(&notifier, &SignalNotifier::Caught, [&caught](int number) { caught.push_back(number); });
    raise(SIGUSR1);
    EXPECT_TRUE(test::WaitFor([&caught] { return !caught.empty(); }, 2000));
    EXPECT_EQ(caught, std::vector<int>{SIGUSR1});
  }

  signal(SIGUSR1, SIG_IGN);
  { SignalNotifier untouched({SIGUSR1}, SignalNotifier::Ignored::kCatch); }
  EXPECT_EQ(Disposition(SIGUSR1), SIG_IGN);
  EXPECT_EQ(SignalNotifier::Descriptor(), -1);
  signal(SIGUSR1, SIG_DFL);
}

}  // namespace
}  // namespace frosk
