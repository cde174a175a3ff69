#include "common/frame_event.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <string>
#include <thread>
#include <vector>

namespace frosk {
namespace {

std::unique_ptr<FrameBlock> Block(const Link* owner, const std::string& frame) {
  auto block = std::make_unique<FrameBlock>();
  block->owner = owner;
  block->count = static_cast<uint32_t>(frame.size());
  frame.copy(block->bytes, frame.size());
  return block;
}

class Receiver : public QObject {
 public:
  bool event(QEvent* event) override {
    auto* frame = dynamic_cast<FrameEvent*>(event);
    if (frame == nullptr) return QObject::event(event);
    types.push_back(event->type());
    frames.emplace_back(frame->Block().Frame());
    owners.push_back(frame->Block().owner);
    return true;
  }
  std::vector<QEvent::Type> types;
  std::vector<std::string> frames;
  std::vector<const Link*> owners;
};

class FrameEventTest : public testing::Test {
 protected:
  int argc_ = 1;
  char name_[16] = "frame_event";
  char* argv_[2] = {name_, nullptr};
  QCoreApplication app_{argc_, argv_};
};

TEST_F(FrameEventTest, APostingSinkDeliversBlocksFromAnotherThreadInOrder) {
  Receiver receiver;
  const FrameSink sink = PostFrameEvents(&receiver, kProgrammingFrameEvent);
  const auto* owner = reinterpret_cast<const Link*>(&receiver);
  std::thread reader([&] {
    for (const char* frame : {"$01#", "$02#", "$03#"}) sink(Block(owner, frame));
  });
  reader.join();
  QCoreApplication::sendPostedEvents(&receiver);
  EXPECT_EQ(receiver.frames, (std::vector<std::string>{"$01#", "$02#", "$03#"}));
  EXPECT_EQ(receiver.types, std::vector<QEvent::Type>(3, kProgrammingFrameEvent));
  EXPECT_EQ(receiver.owners, std::vector<const Link*>(3, owner));
}

// Under LeakSanitizer this shows that blocks nobody handled are freed.
TEST_F(FrameEventTest, BlocksQueuedForAReceiverThatIsGoneAreFreed) {
  auto receiver = std::make_unique<Receiver>();
  const FrameSink sink = PostFrameEvents(receiver.get(), kMainWindowFrameEvent);
  sink(Block(nullptr, "$04#"));
  sink(Block(nullptr, "$05#"));
  receiver.reset();
  QCoreApplication::sendPostedEvents();
}

}  // namespace
}  // namespace frosk
