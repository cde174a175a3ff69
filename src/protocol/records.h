#pragma once

#include <cstddef>
#include <iterator>
#include <span>
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/catalogue.h"
#include "protocol/item.h"
#include "protocol/value_types.h"

namespace frosk {

// One record per data container: its fields in catalogue order as plain
// members. Records live only in memory; items are written and read field by
// field, so a record's layout is ours to choose and follows natural alignment.

struct DeviceIdenRecord {
  uint16_t type;
  uint16_t firmVer;
  uint16_t hardVer;
  char name[32];
  SerialRecord serial;
  DateRecord prodDate;
  bool operator==(const DeviceIdenRecord&) const = default;
};

struct DeviceCheckRecord {
  uint16_t value;
  bool operator==(const DeviceCheckRecord&) const = default;
};

struct ServiceModeRecord {
  uint8_t enable;
  bool operator==(const ServiceModeRecord&) const = default;
};

struct TransparentModeRecord {
  uint8_t enable;
  bool operator==(const TransparentModeRecord&) const = default;
};

struct FroskTecConfigRecord {
  uint8_t variant;
  uint8_t noMemCompatible;
  bool operator==(const FroskTecConfigRecord&) const = default;
};

struct FroskTecMonitorRecord {
  uint8_t supOn;
  int16_t iSupPlus;
  int16_t iSupMinus;
  uint8_t fanOn;
  int16_t iFanPlus;
  int16_t iTec;
  int16_t uTec;
  int16_t uSupPlus;
  int16_t uSupMinus;
  int32_t tDet;
  int16_t tInt;
  uint16_t pwm;
  uint8_t status;
  uint8_t moduleType;
  uint32_t thAdc;
  bool operator==(const FroskTecMonitorRecord&) const = default;
};

struct ModuleIdenRecord {
  uint8_t type;
  uint16_t firmVer;
  uint16_t hardVer;
  char name[32];
  SerialRecord serial;
  char detName[32];
  SerialRecord detSerial;
  DateRecord prodDate;
  uint8_t tecType;
  uint8_t thType;
  float tecParam1;
  float tecParam2;
  float tecParam3;
  float tecParam4;
  float thParam1;
  float thParam2;
  float thParam3;
  float thParam4;
  uint16_t coolTime;
  bool operator==(const ModuleIdenRecord&) const = default;
};

struct ModuleCheckRecord {
  uint16_t value;
  bool operator==(const ModuleCheckRecord&) const = default;
};

struct ModuleBasicParamsRecord {
  uint8_t supCtrl;
  int16_t uSupPlus;
  int16_t uSupMinus;
  uint8_t fanCtrl;
  uint8_t tecCtrl;
  uint16_t pwm;
  int16_t iTecMax;
  uint32_t tDet;
  bool operator==(const ModuleBasicParamsRecord&) const = default;
};

struct ModuleUserSetBankRecord {
  uint8_t index;
  bool operator==(const ModuleUserSetBankRecord&) const = default;
};

struct ModuleVeltraMonitorRecord {
  int16_t supPlus;
  int16_t supMinus;
  int16_t fanPlus;
  int16_t tecPlus;
  int16_t tecMinus;
  int16_t th1;
  int16_t th2;
  int16_t uDet;
  int16_t u1st;
  int16_t uOut;
  int16_t temp;
  bool operator==(const ModuleVeltraMonitorRecord&) const = default;
};

struct ModuleVeltraParamsRecord {
  uint16_t detU;
  uint16_t detI;
  uint16_t gain;
  uint16_t offset;
  uint16_t varactor;
  uint8_t trans;
  uint8_t acdc;
  uint8_t bw;
  bool operator==(const ModuleVeltraParamsRecord&) const = default;
};

// Where one field sits in its record.
struct FieldSlot {
  size_t offset;
  size_t size;
};

// Which container each record belongs to, where its fields sit, and which of
// the record operations the protocol gives it: monitors are only parsed, the
// bank index only built.
template <class Record>
struct RecordTraits;

#define FROSK_SLOT(Record, member) FieldSlot{offsetof(Record, member), sizeof(Record::member)}
#define FROSK_RECORD(Record, containerKey, canClear, canParse, canBuild, ...)      \
  template <>                                                                   \
  struct RecordTraits<Record> {                                                 \
    static constexpr Key kContainerKey = containerKey;                          \
    static constexpr bool kClear = canClear;                                    \
    static constexpr bool kParse = canParse;                                    \
    static constexpr bool kBuild = canBuild;                                    \
    static constexpr const ContainerSpec* kLayout = FindContainer(containerKey); \
    static constexpr FieldSlot kSlots[] = {__VA_ARGS__};                        \
    static constexpr const ContainerSpec& Layout() { return *kLayout; }        \
  };

#define S(member) FROSK_SLOT(DeviceIdenRecord, member)
FROSK_RECORD(DeviceIdenRecord, key::DEVICE_IDEN, true, true, true, S(type), S(firmVer), S(hardVer), S(name),
             S(serial), S(prodDate))
#undef S
FROSK_RECORD(DeviceCheckRecord, key::DEVICE_CHECK, false, true, true, FROSK_SLOT(DeviceCheckRecord, value))
FROSK_RECORD(ServiceModeRecord, key::SERVICE_MODE, true, true, true, FROSK_SLOT(ServiceModeRecord, enable))
FROSK_RECORD(TransparentModeRecord, key::TRANSPARENT_MODE, true, true, true,
             FROSK_SLOT(TransparentModeRecord, enable))
#define S(member) FROSK_SLOT(FroskTecConfigRecord, member)
FROSK_RECORD(FroskTecConfigRecord, key::FROSKTEC_CONFIG, true, true, true, S(variant), S(noMemCompatible))
#undef S
#define S(member) FROSK_SLOT(FroskTecMonitorRecord, member)
FROSK_RECORD(FroskTecMonitorRecord, key::FROSKTEC_MONITOR, true, true, false, S(supOn), S(iSupPlus), S(iSupMinus),
             S(fanOn), S(iFanPlus), S(iTec), S(uTec), S(uSupPlus), S(uSupMinus), S(tDet), S(tInt), S(pwm), S(status),
             S(moduleType), S(thAdc))
#undef S
#define S(member) FROSK_SLOT(ModuleIdenRecord, member)
FROSK_RECORD(ModuleIdenRecord, key::MODULE_IDEN, true, true, true, S(type), S(firmVer), S(hardVer), S(name),
             S(serial), S(detName), S(detSerial), S(prodDate), S(tecType), S(thType), S(tecParam1), S(tecParam2),
             S(tecParam3), S(tecParam4), S(thParam1), S(thParam2), S(thParam3), S(thParam4), S(coolTime))
#undef S
FROSK_RECORD(ModuleCheckRecord, key::MODULE_CHECK, false, true, true, FROSK_SLOT(ModuleCheckRecord, value))
#define S(member) FROSK_SLOT(ModuleBasicParamsRecord, member)
FROSK_RECORD(ModuleBasicParamsRecord, key::MODULE_BASIC_PARAMS, true, true, true, S(supCtrl), S(uSupPlus),
             S(uSupMinus), S(fanCtrl), S(tecCtrl), S(pwm), S(iTecMax), S(tDet))
#undef S
FROSK_RECORD(ModuleUserSetBankRecord, key::MODULE_USER_SET_BANK, false, false, true,
             FROSK_SLOT(ModuleUserSetBankRecord, index))
#define S(member) FROSK_SLOT(ModuleVeltraMonitorRecord, member)
FROSK_RECORD(ModuleVeltraMonitorRecord, key::MODULE_VELTRA_MONITOR, true, true, false, S(supPlus), S(supMinus),
             S(fanPlus), S(tecPlus), S(tecMinus), S(th1), S(th2), S(uDet), S(u1st), S(uOut), S(temp))
#undef S
#define S(member) FROSK_SLOT(ModuleVeltraParamsRecord, member)
FROSK_RECORD(ModuleVeltraParamsRecord, key::MODULE_VELTRA_PARAMS, true, true, true, S(detU), S(detI), S(gain),
             S(offset), S(varactor), S(trans), S(acdc), S(bw))
#undef S
#undef FROSK_RECORD
#undef FROSK_SLOT

// Each record member has its field's width, in catalogue order.
template <class Record>
constexpr bool SlotsMatchCatalogue() {
  const auto& fields = RecordTraits<Record>::Layout().fields;
  const auto& fieldSlots = RecordTraits<Record>::kSlots;
  if (std::size(fieldSlots) != fields.size()) return false;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fieldSlots[i].size != FieldRecordWidth(fields[i])) return false;
    if (i > 0 && fieldSlots[i].offset < fieldSlots[i - 1].offset + fieldSlots[i - 1].size) return false;
  }
  return true;
}

// Slots of a record of any container with its fields back to back
// (PackedRecordSize bytes), for tools that build records at run time.
std::vector<FieldSlot> PackedSlots(const ContainerSpec& container);

// The record operations over any container's field table and slots, on the
// record's bytes. `complete`, when given, tells whether the item carried every
// field of the container.
bool ParseRecordBytes(const ContainerSpec& container, std::span<const FieldSlot> fieldSlots, void* record,
                      const uint8_t* item, bool* complete = nullptr);
size_t BuildRecordBytes(const ContainerSpec& container, std::span<const FieldSlot> fieldSlots, const void* record,
                        uint8_t* buffer, size_t capacity);

template <class Record>
void Clear(Record& record) {
  static_assert(RecordTraits<Record>::kClear);
  std::memset(&record, 0, sizeof record);
}

// False, leaving the record untouched, when the item is not the record's
// container. Otherwise every field whose direct child is present is read, and
// `complete`, when given, tells whether that was every field.
template <class Record>
bool ParseFrom(Record& record, const uint8_t* item, bool* complete = nullptr) {
  static_assert(RecordTraits<Record>::kParse);
  return ParseRecordBytes(RecordTraits<Record>::Layout(), RecordTraits<Record>::kSlots, &record, item, complete);
}

template <class Record>
constexpr size_t EncodedSize() {
  static_assert(RecordTraits<Record>::kBuild);
  return EncodedSize(RecordTraits<Record>::Layout());
}

// Writes the container and every field in catalogue order; 0 when it does not fit.
template <class Record>
size_t BuildInto(const Record& record, uint8_t* buffer, size_t capacity) {
  static_assert(RecordTraits<Record>::kBuild);
  return BuildRecordBytes(RecordTraits<Record>::Layout(), RecordTraits<Record>::kSlots, &record, buffer, capacity);
}

// A bare request: the 4-byte command container of a GET.
std::vector<uint8_t> BareRequest(Key command);

// A request carrying one record: the command container around the record's item.
template <class Record>
std::vector<uint8_t> RecordRequest(Key command, const Record& record) {
  constexpr size_t kSize = EncodedSize<Record>();
  std::vector<uint8_t> request(4 + kSize);
  ItemPutContainer(request.data(), command, static_cast<uint16_t>(request.size()));
  BuildInto(record, request.data() + 4, kSize);
  return request;
}

}  // namespace frosk
