#pragma once

#include <string>
#include <vector>

#include "protocol/link.h"

namespace frosk {

// The serial links and the system's port list as the engines use them. The
// programs use this class as it is; tests derive from it to watch or replace
// a call.
class LinkLayer {
 public:
  // `sysfsRoot` is where the system's port list is read.
  explicit LinkLayer(std::string sysfsRoot = "/sys") : sysfsRoot_(std::move(sysfsRoot)) {}
  virtual ~LinkLayer() = default;

  virtual int Open(Link** link, const PortSettings& settings, FrameSink sink);
  virtual int Close(Link** link);
  virtual int SendItem(Link* link, const uint8_t* item);
  virtual int EnumeratePorts(std::vector<std::string>* list);

  // Why the last Open that failed did so.
  const PortError& LastOpenError() const { return lastOpenError_; }

 private:
  std::string sysfsRoot_;
  PortError lastOpenError_;
};

}  // namespace frosk
