#pragma once

#include <QEvent>
#include <QObject>
#include <memory>

#include "protocol/link.h"

namespace frosk {

// Frames reach their receivers as posted events: the main window's links use
// one type, the programming dialog's short-lived link the other.
inline constexpr QEvent::Type kMainWindowFrameEvent = static_cast<QEvent::Type>(1025);
inline constexpr QEvent::Type kProgrammingFrameEvent = static_cast<QEvent::Type>(1026);

// One received frame on its way to the user-interface thread. The event owns
// the block, so the block is freed with the event whether or not anyone
// handled it (a receiver destroyed with events still queued included).
class FrameEvent : public QEvent {
 public:
  FrameEvent(Type type, std::unique_ptr<FrameBlock> block);

  const FrameBlock& Block() const { return *block_; }

 private:
  std::unique_ptr<FrameBlock> block_;
};

// A sink for LinkOpen that posts each block to `receiver` as a FrameEvent of
// `type`. The receiver must outlive the link: close the link first.
FrameSink PostFrameEvents(QObject* receiver, QEvent::Type type);

}  // namespace frosk
