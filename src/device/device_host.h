#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/value_types.h"

namespace frosk {

class DeviceEngine;

// What the main window does after a device engine asked to be closed.
enum class CloseAction : int {
  kClose = 0,
  kCloseAndCheckForUpdates = 1,
  kCloseAndProgramModule = 2,
};

// The device engine's view of the main window that owns it. The engine never
// touches a link: it hands items to the host and asks the host to close it.
class DeviceHost {
 public:
  virtual ~DeviceHost() = default;
  // Frames the item and writes it on the device's link; false when it could not.
  virtual bool SendToDevice(DeviceEngine& device, const uint8_t* item) = 0;
  virtual bool IsDeviceLinked(const DeviceEngine& device) const = 0;
  // Closes the device's window and link, then acts. The engine asks from inside
  // its own dispatch, so the host must carry this out only after that dispatch
  // has returned (a posted event or a queued call), never from within this call.
  virtual void RequestClose(DeviceEngine& device, CloseAction action) = 0;
  // The program-wide ServiceMode setting.
  virtual bool ServiceModeSetting() const = 0;
  // A line for the person at the program, beside the message boxes: the
  // system's reason behind a failure that a box names only by its text. The
  // desktop program's status log, froskctl's standard error.
  virtual void WriteLog(const std::string& line) = 0;
};

// The service view's window on the traffic. Called only while the ServiceMode
// setting is on. Items are valid and live only for the call.
class TrafficObserver {
 public:
  virtual ~TrafficObserver() = default;
  virtual void ItemSent(const uint8_t* item) = 0;
  virtual void ItemReceived(const uint8_t* item) = 0;
  // A request sent with this command ended without a reply: it timed out or
  // was broken off.
  virtual void NoReply(Key command) { (void)command; }
};

// Where a chain of records stands, each record by the command that writes it:
// those the device answered, the one awaiting its reply, those still to go.
struct ChainRecords {
  std::vector<Key> written;
  Key inFlight = 0;
  std::vector<Key> notSent;
};

// A chain of records that the engine's replies drive: a loaded file, the
// configurator's wizard. The engine asks it when the chain stops on a
// time-out, to tell the user what the device now holds.
class WriteChain {
 public:
  virtual ~WriteChain() = default;
  // None while the chain is not running.
  virtual std::optional<ChainRecords> Records() const = 0;
};

// Sends the records of a loaded configuration file one by one while the engine
// is in state 48.
class ConfigSender : public WriteChain {
 public:
  // Sends the next record through the engine; false when nothing was left to send.
  virtual bool SendNextConfigItem() = 0;
  std::optional<ChainRecords> Records() const override { return std::nullopt; }
};

}  // namespace frosk
