#include "device/config_file.h"

#include <QFile>
#include <QFileInfo>
#include <array>

#include "common/file_replace.h"
#include "protocol/item.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

namespace {

constexpr size_t kFileRecordCount = [] {
  size_t count = 0;
  for (const RecordSlot& slot : kRecordSlots)
    if (slot.bit != 0) ++count;
  return count;
}();

// A record travels inside its slot's SET; a signature is its check item.
constexpr std::array<ConfigRecord, kFileRecordCount> kRecords = [] {
  std::array<ConfigRecord, kFileRecordCount> records{};
  size_t count = 0;
  for (const RecordSlot& slot : kRecordSlots) {
    if (slot.bit == 0) continue;
    const bool signature = (slot.bit & content::kSignatures) != 0;
    ConfigRecord record{slot.bit, signature ? slot.container : slot.set, slot.id};
    size_t at = count++;
    for (; at > 0 && records[at - 1].bit > record.bit; --at) records[at] = records[at - 1];
    records[at] = record;
  }
  return records;
}();
static_assert(kFileRecordCount == 18, "sixteen records and two signatures");

constexpr ContentMask kSendingOrder[] = {
    0x1, 0x2, 0x4, 0x20, 0x40, 0x10, 0x8, 0x80, 0x400, 0x800, 0x200, 0x100, 0x4000, 0x8000, 0x2000, 0x1000,
};

constexpr bool TableIsInBitOrder() {
  for (size_t i = 1; i < std::size(kRecords); ++i)
    if (kRecords[i].bit <= kRecords[i - 1].bit) return false;
  return true;
}
static_assert(TableIsInBitOrder(), "the file's children follow the bits in ascending order");
static_assert(kRecords[0].childKey == key::SET_DEVICE_IDEN && kRecords[16].childKey == key::DEVICE_CHECK);

}  // namespace

std::span<const ConfigRecord> ConfigRecords() { return kRecords; }

const ConfigRecord* FindConfigRecord(ContentMask bit) {
  for (const ConfigRecord& record : kRecords)
    if (record.bit == bit) return &record;
  return nullptr;
}

std::span<const ContentMask> SendingOrder() { return kSendingOrder; }

uint16_t SerialSignature(const VFroskClass& serial) {
  const auto v = static_cast<uint32_t>(serial.GetAsInt());
  const std::array<uint8_t, 4> bytes = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                                        static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  return Crc16(bytes.data(), bytes.size());
}

void MakeDeviceSignature(DeviceCheckHolder& check, const DeviceIdenHolders& iden) {
  check.At(DEVICE_CHECK_VALUE).SetFromInt(SerialSignature(iden.At(DEVICE_IDEN_SERIAL)));
}

void MakeModuleSignature(ModuleCheckHolder& check, const ModuleIdenHolders& iden) {
  check.At(MODULE_CHECK_VALUE).SetFromInt(SerialSignature(iden.At(MODULE_IDEN_SERIAL)));
}

std::vector<uint8_t> ConfigRecordItem(HolderSet& holders, const ConfigRecord& record) {
  const ContainerSpec& container = GroupContainer(record.group);
  const size_t header = record.Wrapped() ? 4 : 0;
  std::vector<uint8_t> item(header + EncodedSize(container));
  if (record.Wrapped()) ItemPutContainer(item.data(), record.childKey, static_cast<uint16_t>(item.size()));
  BuildHoldersItem(container, holders.Holders(record.group), item.data() + header, item.size() - header);
  return item;
}

std::vector<uint8_t> BuildConfigRoot(HolderSet& holders, ContentMask mask) {
  std::vector<uint8_t> root(4);
  for (const ConfigRecord& record : kRecords) {
    if ((mask & record.bit) == 0) continue;
    const std::vector<uint8_t> child = ConfigRecordItem(holders, record);
    root.insert(root.end(), child.begin(), child.end());
  }
  // Every record of the table together takes a fraction of the tree buffer.
  ItemPutContainer(root.data(), 0x0000, static_cast<uint16_t>(root.size()));
  return root;
}

ContentMask WalkConfigRoot(const uint8_t* root, ContentMask requested, const ConfigRecordVisitor& take) {
  ContentMask found = 0;
  for (const uint8_t* child = ItemFirstChild(root); child != nullptr; child = ItemNextChild(root, child)) {
    const Key key = ItemKey(child);
    for (const ConfigRecord& record : kRecords) {
      if (record.childKey != key || (requested & record.bit) == 0) continue;
      const ContainerSpec& container = GroupContainer(record.group);
      // A command without its record, or a signature without its value, holds nothing to take.
      const uint8_t* item = record.Wrapped() ? ItemFindChild(child, container.key, false) : child;
      if (item == nullptr) break;
      if (!record.Wrapped() && ItemFindChild(child, container.fields.front().key, false) == nullptr) break;
      take(record, item);
      found |= record.bit;
      break;
    }
  }
  return found;
}

ContentMask StoreConfigRoot(HolderSet& holders, const uint8_t* root, ContentMask requested) {
  return WalkConfigRoot(root, requested, [&holders](const ConfigRecord& record, const uint8_t* item) {
    StoreHoldersItem(GroupContainer(record.group), holders.Holders(record.group), item);
  });
}

std::string_view ConfigFrameText(std::string_view text) {
  constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return text.substr(text.size());
  return text.substr(first, text.find_last_not_of(kWhiteSpace) + 1 - first);
}

DecodedConfig DecodeConfigText(std::string_view text) {
  DecodedConfig decoded;
  decoded.root.resize(kConfigTreeCapacity);
  decoded.result = DecodeItem(decoded.root.data(), decoded.root.size(), ConfigFrameText(text));
  decoded.root.resize(decoded.ok() ? decoded.result.itemLength : 0);
  return decoded;
}

namespace {

bool Fail(std::string* why, const QString& text) {
  if (why != nullptr) *why = text.toStdString();
  return false;
}

std::optional<std::string> Unreadable(std::string* why, const QString& text) {
  Fail(why, text);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadConfigFileText(const std::string& fileName, std::string* why) {
  constexpr auto kMaxSize = static_cast<qint64>(kConfigFileMaxSize + kConfigFileWhiteSpaceRoom);
  const QString kTooLong = "longer than any configuration file";
  QFile file(QString::fromStdString(fileName));
  if (QFileInfo(file).isDir()) return Unreadable(why, "is a folder");
  if (!file.open(QIODevice::ReadOnly)) return Unreadable(why, file.errorString());
  // A pipe has no size to ask for beforehand; one character more than a valid
  // file can have tells a longer one apart without reading it all.
  if (!file.isSequential() && file.size() > kMaxSize) return Unreadable(why, kTooLong);
  const QByteArray bytes = file.read(kMaxSize + 1);
  if (file.error() != QFileDevice::NoError) return Unreadable(why, file.errorString());
  if (bytes.size() > kMaxSize) return Unreadable(why, kTooLong);
  return bytes.toStdString();
}

bool WriteConfigFileText(const std::string& fileName, std::string_view text, std::string* why) {
  const QString name = QString::fromStdString(fileName);
  // A file marked read-only stays as it is, also for a user who may replace
  // it anyway, such as root: its mode bits say so, not what the user may do.
  const QFileInfo existing(name);
  constexpr auto kAnyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  if (existing.exists() && !existing.isDir() && (existing.permissions() & kAnyWrite) == 0)
    return Fail(why, "is read-only");
  return ReplaceFileContent(fileName, text, why);
}

}  // namespace frosk
