#include "sim/bootloader.h"

#include <algorithm>

namespace frosk::sim {

namespace {

constexpr BootloaderPart kParts[] = {
    {"x128a4u", {0x1E, 0x97, 0x46}, 0x22000, 2048, 256},
    {"x32a4", {0x1E, 0x95, 0x41}, 0x9000, 1024, 256},
};

// No XMEGA part has a device code of its own in the AVR109 list; a programmer
// selects whichever code the bootloader offers.
constexpr uint8_t kDeviceCode = 0x7B;
constexpr char kProgrammerId[] = "AVRBOOT";
constexpr char kSoftwareVersion[] = "12";
constexpr char kDone = '\r';
constexpr char kUnknown = '?';
constexpr uint8_t kEscape = 0x1B;

// Argument bytes after the command letter, for commands with fixed arguments.
size_t FixedArguments(uint8_t command) {
  switch (command) {
    case 'A': return 2;
    case 'H': return 3;
    case 'T':
    case 'x':
    case 'y': return 1;
    default: return 0;
  }
}

}  // namespace

const BootloaderPart* FindBootloaderPart(std::string_view name) {
  for (const BootloaderPart& part : kParts)
    if (name == part.name) return &part;
  return nullptr;
}

std::string BootloaderPartNames() {
  std::string names;
  for (const BootloaderPart& part : kParts) names += (names.empty() ? "" : "|") + std::string(part.name);
  return names;
}

Bootloader::Bootloader(const BootloaderPart& part, BootloaderFaults faults)
    : part_(part), faults_(faults), flash_(part.flashBytes, 0xFF), eeprom_(part.eepromBytes, 0xFF) {}

void Bootloader::Receive(const uint8_t* bytes, size_t count, std::string& reply) {
  pending_.insert(pending_.end(), bytes, bytes + count);
  while (!pending_.empty()) {
    const size_t length = CommandLength();
    if (length == 0) break;
    Execute(pending_.data(), reply);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
  }
}

size_t Bootloader::CommandLength() const {
  if (pending_.empty()) return 0;
  const uint8_t command = pending_[0];
  size_t length = 1 + FixedArguments(command);
  // Block commands: size (high byte first) and memory type, then the data of a write.
  if (command == 'B' || command == 'g') {
    if (pending_.size() < 4) return 0;
    length = 4;
    if (command == 'B') length += static_cast<size_t>(pending_[1]) << 8 | pending_[2];
  }
  return pending_.size() >= length ? length : 0;
}

std::vector<uint8_t>* Bootloader::Memory(uint8_t type) {
  if (type == 'F') return &flash_;
  if (type == 'E') return &eeprom_;
  return nullptr;
}

uint32_t Bootloader::ByteAddress(uint8_t type) const { return type == 'F' ? address_ * 2 : address_; }

void Bootloader::Execute(const uint8_t* command, std::string& reply) {
  switch (command[0]) {
    case kEscape: return;
    case 'S': reply += kProgrammerId; return;
    case 'V': reply += kSoftwareVersion; return;
    case 'p': reply += 'S'; return;  // a serial programmer
    case 'a': reply += 'Y'; return;  // the address moves on by itself after each access
    case 'b':
      reply += 'Y';
      reply += static_cast<char>(part_.blockBytes >> 8);
      reply += static_cast<char>(part_.blockBytes & 0xFF);
      return;
    case 't':
      reply += static_cast<char>(kDeviceCode);
      reply += '\0';
      return;
    // The signature goes out least significant byte first, as AVR109 orders it.
    case 's':
      for (int i = 2; i >= 0; --i) reply += static_cast<char>(part_.signature[i]);
      return;
    case 'e':
      std::fill(flash_.begin(), flash_.end(), 0xFF);
      reply += kDone;
      return;
    case 'A':
      address_ = static_cast<uint32_t>(command[1]) << 8 | command[2];
      reply += kDone;
      return;
    case 'H':
      address_ = static_cast<uint32_t>(command[1]) << 16 | static_cast<uint32_t>(command[2]) << 8 | command[3];
      reply += kDone;
      return;
    case 'T':
    case 'P':
    case 'L':
    case 'E':
    case 'x':
    case 'y': reply += kDone; return;
    case 'B':
    case 'g': break;
    default: reply += kUnknown; return;
  }

  const size_t size = static_cast<size_t>(command[1]) << 8 | command[2];
  const uint8_t type = command[3];
  std::vector<uint8_t>* memory = Memory(type);
  const uint32_t start = ByteAddress(type);
  const bool fits = memory != nullptr && size <= part_.blockBytes && start + size <= memory->size();
  if (command[0] == 'B') {
    if (!fits) {
      reply += kUnknown;
      return;
    }
    std::copy(command + 4, command + 4 + size, memory->begin() + start);
    address_ += static_cast<uint32_t>(type == 'F' ? size / 2 : size);
    reply += kDone;
    return;
  }
  // A read must answer with exactly `size` bytes, or the programmer loses step.
  if (!fits) {
    reply += kUnknown;
    return;
  }
  std::string data(memory->begin() + start, memory->begin() + start + static_cast<std::ptrdiff_t>(size));
  if (faults_.corruptReadBack && type == 'F' && !data.empty()) data[0] = static_cast<char>(data[0] ^ 0x5A);
  reply += data;
  address_ += static_cast<uint32_t>(type == 'F' ? size / 2 : size);
}

}  // namespace frosk::sim
