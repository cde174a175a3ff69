// ports and request: the serial ports present, and one request on a port.
#include <QCoreApplication>
#include <QTimer>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/device_verbs.h"
#include "cli/request_builder.h"
#include "cli/verbs.h"
#include "common/frame_event.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/item.h"
#include "protocol/link.h"

namespace frosk::cli {

namespace {

constexpr int kReplyTimeoutMs = 5000;

// Takes the first frame that decodes into a valid item, whatever its key,
// prints its tree and ends the event loop with success.
class ReplyPrinter : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() != kMainWindowFrameEvent) return QObject::event(event);
    if (done_) return true;
    uint8_t item[FrameCutter::kCapacity];
    const auto& block = static_cast<FrameEvent*>(event)->Block();
    if (!DecodeItem(item, sizeof item, block.Frame()).ok()) return true;
    done_ = true;
    PrintItemTree(item);
    QCoreApplication::exit(kExitDone);
    return true;
  }

 private:
  bool done_ = false;
};

}  // namespace

int RunPorts(const Invocation& invocation) {
  if (!invocation.args.empty()) return UsageError("ports takes no arguments");
  std::vector<std::string> ports;
  const int result = EnumerateComPorts(&ports, SysfsRoot());
  for (const std::string& port : ports) std::cout << port << "\n";
  if (result != 0) return Failure("cannot read the system's list of serial ports");
  return kExitDone;
}

int RunRequest(const Invocation& invocation) {
  if (invocation.args.size() < 2) return UsageError("request needs a PORT and a COMMAND");
  if (const int refused = RefuseEmptyPort(invocation.args[0]); refused != kExitDone) return refused;
  const std::vector<std::string> fields(invocation.args.begin() + 2, invocation.args.end());
  const BuiltRequest request = BuildRequest(invocation.args[1], fields, true);
  if (!request.ok()) return UsageError(request.error);

  Interrupts interrupts;
  interrupts.EndEventLoop();
  ReplyPrinter printer;
  PortSettings settings;
  settings.portName = invocation.args[0];
  PortError error;
  if (LinkOpen(&settings.link, settings, PostFrameEvents(&printer, kMainWindowFrameEvent), &error) != 0)
    return Failure(OpenFailureText(error));
  int result;
  if (LinkSendItem(settings.link, request.item.data()) != 0) {
    result = Failure("cannot write to " + PortPath(settings.portName));
  } else {
    // A coarse timer may fire 5 % early, before the promised time is up.
    const std::string timedOut = settings.portName + ": no reply to " +
                                 std::string(AnyKeyName(ItemKey(request.item.data()))) + " within " +
                                 std::to_string(kReplyTimeoutMs) + " ms";
    QTimer::singleShot(kReplyTimeoutMs, Qt::PreciseTimer, [timedOut] { QCoreApplication::exit(Failure(timedOut)); });
    result = QCoreApplication::exec();
  }
  LinkClose(&settings.link);
  return result;
}

}  // namespace frosk::cli
