#include "discovery_fixture.h"

#include <poll.h>
#include <unistd.h>

#include <cstring>

#include "protocol/frame.h"
#include "protocol/keys.h"
#include "protocol/records.h"

namespace frosk::test {

FakeController::FakeController(std::string name, uint32_t serialNumber, Answer answer)
    : pty_(PseudoTerminal::Open()), name_(std::move(name)), serialNumber_(serialNumber), answer_(answer) {}

bool FakeController::Service() {
  pollfd fd = {pty_->DeviceFd(), POLLIN, 0};
  while (poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN) != 0) {
    char buffer[256];
    const ssize_t n = read(pty_->DeviceFd(), buffer, sizeof buffer);
    if (n <= 0) break;
    received_.append(buffer, static_cast<size_t>(n));
    heard_.append(buffer, static_cast<size_t>(n));
  }
  const std::string probe = FrameEncode(BareRequest(key::GET_DEVICE_IDEN).data());
  bool answered = false;
  for (size_t at = received_.find(probe); at != std::string::npos; at = received_.find(probe)) {
    received_.erase(0, at + probe.size());
    ++probes_;
    if (answer_ == Answer::kGarbage) Send(Garbage());
    if (answer_ != Answer::kAtOnce) continue;
    Send(IdenFrame());
    answered = true;
  }
  return answered;
}

int FakeController::RequestsSeen(Key key) const {
  const std::string request = FrameEncode(BareRequest(key).data());
  int count = 0;
  for (size_t at = heard_.find(request); at != std::string::npos; at = heard_.find(request, at + request.size()))
    ++count;
  return count;
}

// What a confused device might say: noise, a frame with a wrong check value,
// a frame whose item lengths do not fit, and a valid frame of another record.
std::string FakeController::Garbage() const {
  std::string badCheck = IdenFrame();
  badCheck[badCheck.size() - 2] = badCheck[badCheck.size() - 2] == '0' ? '1' : '0';
  return "noise$$#" + badCheck + FrameOfBytes({0x01, 0x00, 0x00, 0x40, 0x00, 0x11}) +
         FrameEncode(BareRequest(key::DEVICE_CHECK).data());
}

std::string FrameOfBytes(const std::vector<uint8_t>& bytes) {
  static const char* kHex = "0123456789ABCDEF";
  std::string frame = "$";
  for (const uint8_t byte : bytes) {
    frame += kHex[byte >> 4];
    frame += kHex[byte & 15];
  }
  const uint16_t crc = Crc16(bytes.data(), bytes.size());
  for (const int shift : {12, 8, 4, 0}) frame += kHex[(crc >> shift) & 15];
  return frame + "#";
}

void FakeController::Send(const std::string& text) {
  const ssize_t written = write(pty_->DeviceFd(), text.data(), text.size());
  (void)written;
}

std::string FakeController::IdenFrame() const {
  DeviceIdenRecord iden{};
  iden.type = type_;
  iden.firmVer = firmware_;
  iden.hardVer = 2;
  std::strncpy(iden.name, name_.c_str(), sizeof iden.name - 1);
  iden.serial = {7, serialNumber_};
  iden.prodDate.day = 24;
  iden.prodDate.month = 3;
  iden.prodDate.year = 121;
  std::vector<uint8_t> item(EncodedSize<DeviceIdenRecord>());
  BuildInto(iden, item.data(), item.size());
  return FrameEncode(item.data());
}

int WatchedLinks::Open(Link** link, const PortSettings& settings, FrameSink sink) {
  opened.push_back(settings.portName);
  const int result = LinkLayer::Open(link, settings, std::move(sink));
  if (result == 0) ++openNow;
  return result;
}

int WatchedLinks::Close(Link** link) {
  if (*link != nullptr) --openNow;
  return LinkLayer::Close(link);
}

int WatchedLinks::EnumeratePorts(std::vector<std::string>* list) {
  list->insert(list->end(), systemPorts.begin(), systemPorts.end());
  return 0;
}

}  // namespace frosk::test
