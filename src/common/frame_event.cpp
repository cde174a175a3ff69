#include "common/frame_event.h"

#include <QCoreApplication>

namespace frosk {

FrameEvent::FrameEvent(Type type, std::unique_ptr<FrameBlock> block) : QEvent(type), block_(std::move(block)) {}

FrameSink PostFrameEvents(QObject* receiver, QEvent::Type type) {
  // postEvent is safe from the reader thread and takes the event over.
  return [receiver, type](std::unique_ptr<FrameBlock> block) {
    QCoreApplication::postEvent(receiver, new FrameEvent(type, std::move(block)));
  };
}

}  // namespace frosk
