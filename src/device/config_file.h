#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_engine.h"
#include "protocol/frame.h"

namespace frosk {

// One row of the file's table: a record's bit, the key of the root's child
// that carries it, and the holder group it is written from and read into.
// Records travel inside their SET command's container; the two signatures
// are their check items themselves.
struct ConfigRecord {
  ContentMask bit = 0;
  Key childKey = 0;
  Group group = Group::kDeviceIden;

  constexpr bool Wrapped() const { return (bit & content::kSignatures) == 0; }
};

// The rows of the record slots a file can hold, in ascending bit order,
// which is the file's order.
std::span<const ConfigRecord> ConfigRecords();
// The row of a single bit; null for a bit that carries nothing.
const ConfigRecord* FindConfigRecord(ContentMask bit);
// The order a loaded file's records are sent in: identification first, then
// the configuration, then for each group the user minimum and maximum before
// the user set and the default, so the limits are in place before the values
// they limit.
std::span<const ContentMask> SendingOrder();

// The largest item tree a file holds (the tree buffer on both sides), and so
// the longest valid frame: 2 * 10240 + 6 characters.
inline constexpr size_t kConfigTreeCapacity = 10240;
inline constexpr size_t kConfigFileMaxSize = 2 * kConfigTreeCapacity + 6;
// White space around the frame is no part of it: editors end a file with a
// line end, and a file passed around may gain a blank line or an indent. A
// file may carry this much of it before it counts as too long.
inline constexpr size_t kConfigFileWhiteSpaceRoom = 64;

// The signature of a serial number: CRC-16/ARC of number * 100 + suffix (32
// bits, wrapping), most significant byte first. 123456-07 signs as 0xB6A9.
uint16_t SerialSignature(const VFroskClass& serial);
void MakeDeviceSignature(DeviceCheckHolder& check, const DeviceIdenHolders& iden);
void MakeModuleSignature(ModuleCheckHolder& check, const ModuleIdenHolders& iden);

// The SET request of one row (a signature row: its check item) from a set of
// holders, byte for byte the root's child for that row.
std::vector<uint8_t> ConfigRecordItem(HolderSet& holders, const ConfigRecord& record);
// The root item of a file holding the mask's records, from a set of holders.
std::vector<uint8_t> BuildConfigRoot(HolderSet& holders, ContentMask mask);

// Visits the root's direct children in file order and hands each requested
// record that is there in full to `take` with the record's item (a wrapped
// record's data item, a signature's check item). Returns the bits taken. A
// later child of the same key is taken again. The root must be valid.
using ConfigRecordVisitor = std::function<void(const ConfigRecord& record, const uint8_t* item)>;
ContentMask WalkConfigRoot(const uint8_t* root, ContentMask requested, const ConfigRecordVisitor& take);
// Stores the requested records of a valid root into a set of holders; the bits stored.
ContentMask StoreConfigRoot(HolderSet& holders, const uint8_t* root, ContentMask requested);

// The frame of a file's text: the text without the white space around it.
std::string_view ConfigFrameText(std::string_view text);

// A file decoded into its root item. The frame must be whole and intact and
// its item tree valid: a tree whose lengths do not fit is no configuration.
// White space around the frame is passed over.
struct DecodedConfig {
  FrameDecodeResult result;
  std::vector<uint8_t> root;  // the decoded bytes; root.data() is the root item when ok

  bool ok() const { return result.ok(); }
};
DecodedConfig DecodeConfigText(std::string_view text);

// The file's characters, or an empty optional when it cannot be opened or
// read, is a folder, or is longer than any valid file with its room for
// white space (found out without reading it all). `why` says which.
std::optional<std::string> ReadConfigFileText(const std::string& fileName, std::string* why = nullptr);
// Replaces the file's content as one step (ReplaceFileContent): a save that
// fails at any point leaves the earlier file as it was. A file marked
// read-only and anything but a regular file are left alone. False, with the
// reason in `why`, when the content was not replaced.
bool WriteConfigFileText(const std::string& fileName, std::string_view text, std::string* why = nullptr);

}  // namespace frosk
