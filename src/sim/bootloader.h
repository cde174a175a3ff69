#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace frosk::sim {

// A controller in its firmware-update mode: the serial bootloader a programmer
// such as avrdude's "avr109" reaches after the FIRMWARE UPDATE button was held
// at power-on. It answers the AVR109 command set (one command letter, fixed
// argument bytes, a fixed reply) with a flash memory that reads back what was
// written.
struct BootloaderPart {
  const char* name;      // avrdude's part name
  uint8_t signature[3];  // as a part's data sheet lists it, most significant first
  uint32_t flashBytes;   // application and boot sections
  uint32_t eepromBytes;
  uint16_t blockBytes;  // the largest block the bootloader takes at once (a flash page)
};

// The parts the simulated controllers carry: QUVA V2 and QUVA (V1). nullptr for others.
const BootloaderPart* FindBootloaderPart(std::string_view name);
// "x128a4u|x32a4", for usage texts.
std::string BootloaderPartNames();

struct BootloaderFaults {
  // Every block read back has its first byte changed, as a worn or badly
  // erased flash would, so a verifying programmer finds a mismatch.
  bool corruptReadBack = false;
};

class Bootloader {
 public:
  explicit Bootloader(const BootloaderPart& part, BootloaderFaults faults = {});

  // Takes bytes as they arrive on the line (commands may be split anywhere)
  // and appends the replies of every command they complete.
  void Receive(const uint8_t* bytes, size_t count, std::string& reply);

  const std::vector<uint8_t>& Flash() const { return flash_; }
  const BootloaderPart& Part() const { return part_; }

 private:
  // The length of the command at the front of pending_, or 0 while it is incomplete.
  size_t CommandLength() const;
  void Execute(const uint8_t* command, std::string& reply);
  std::vector<uint8_t>* Memory(uint8_t type);
  uint32_t ByteAddress(uint8_t type) const;

  const BootloaderPart& part_;
  BootloaderFaults faults_;
  std::vector<uint8_t> flash_;
  std::vector<uint8_t> eeprom_;
  std::vector<uint8_t> pending_;
  // Word address for flash, byte address for EEPROM, as AVR109 counts them.
  uint32_t address_ = 0;
};

}  // namespace frosk::sim
