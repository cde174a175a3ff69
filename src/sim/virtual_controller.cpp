#include "sim/virtual_controller.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "protocol/catalogue.h"
#include "protocol/device_codes.h"
#include "protocol/item.h"
#include "protocol/record_slots.h"

namespace frosk::sim {

namespace {

// Choice indexes of the SUP_CTRL, FAN_CTRL and TEC_CTRL fields ("AUTO#OFF#ON").
constexpr uint8_t kChoiceOff = 1;

static_assert(static_cast<int>(ModuleKind::kNoMem) == kModuleNoMem &&
                  static_cast<int>(ModuleKind::kOneWire) == kModuleWithMemory &&
                  static_cast<int>(ModuleKind::kVeltra) == kVeltraModule,
              "the module types the monitor reports");

// The largest request the controller takes: a frame the receiver can hold.
constexpr size_t kRequestCapacity = 1024;

void CopyText(char (&field)[32], std::string_view text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

DateRecord Date(int year, int month, int day) {
  DateRecord date{};
  date.day = static_cast<uint8_t>(day);
  date.month = static_cast<uint8_t>(month);
  date.year = static_cast<uint8_t>(year - 1900);
  return date;
}

// A factory-configured module: user min <= default = user set <= user max, all
// within the catalogue's limits, with room on both sides to move the setpoints.
std::array<ModuleBasicParamsRecord, 4> FactoryBasicSets() {
  // SUP_CTRL, U_SUP_PLUS, U_SUP_MINUS, FAN_CTRL, TEC_CTRL, PWM, I_TEC_MAX, T_DET in device units.
  const ModuleBasicParamsRecord defaults{0, 12000, -12000, 0, 0, 0, 5000, 230000};
  return {defaults, defaults, ModuleBasicParamsRecord{0, 5000, -15000, 0, 0, 0, 1000, 200000},
          ModuleBasicParamsRecord{2, 15000, -5000, 2, 2, 65535, 12000, 300000}};
}

std::array<ModuleVeltraParamsRecord, 4> FactoryVeltraSets() {
  // DET_U, DET_I, GAIN, OFFSET, VARACTOR, TRANS, ACDC, BW. Gain code 85 is the
  // gain table's 10 V/V, so the gain list shows a selection.
  const ModuleVeltraParamsRecord defaults{128, 128, 85, 128, 2048, 0, 1, 1};
  return {defaults, defaults, ModuleVeltraParamsRecord{0, 0, 0, 0, 0, 0, 0, 0},
          ModuleVeltraParamsRecord{256, 256, 256, 256, 4095, 1, 1, 2}};
}

// The banks differ in gain, so loading one visibly changes the working set.
std::array<ModuleVeltraParamsRecord, 4> FactoryBanks() {
  std::array<ModuleVeltraParamsRecord, 4> banks;
  banks.fill(FactoryVeltraSets()[kDefaultSet]);
  const uint16_t gains[] = {85, 64, 99, 111};
  for (size_t i = 0; i < banks.size(); ++i) banks[i].gain = gains[i];
  return banks;
}

// A text field shorter than its buffer keeps no tail of the text it replaced.
void ClearTextTails(const ContainerSpec& container, std::span<const FieldSlot> slots, void* record) {
  for (size_t i = 0; i < container.fields.size(); ++i) {
    if (container.fields[i].Type() != kCStr) continue;
    auto* text = static_cast<char*>(record) + slots[i].offset;
    const size_t length = strnlen(text, slots[i].size);
    std::memset(text + length, 0, slots[i].size - length);
  }
}

template <class Int>
Int Raw(double value) {
  const double rounded = std::round(value);
  return static_cast<Int>(
      std::clamp(rounded, double{std::numeric_limits<Int>::min()}, double{std::numeric_limits<Int>::max()}));
}

}  // namespace

ControllerSettings::ControllerSettings() {
  deviceIden = {4, 12, 2, {}, SerialRecord{7, 123456}, Date(2025, 3, 14)};
  CopyText(deviceIden.name, "FroskTEC");
  moduleIden = {};
  moduleIden.firmVer = 5;
  moduleIden.hardVer = 1;
  CopyText(moduleIden.name, "KAZ-7");
  moduleIden.serial = SerialRecord{25, 412};
  CopyText(moduleIden.detName, "KD-4T-105");
  moduleIden.detSerial = SerialRecord{3, 250117};
  moduleIden.prodDate = Date(2025, 1, 17);
  moduleIden.tecType = 1;
  moduleIden.thType = 1;
  // TEC resistance, current limit and largest temperature difference; the
  // thermistor's resistance at 25 C, its B constant and reference temperature.
  moduleIden.tecParam1 = 1.6f;
  moduleIden.tecParam2 = 1.2f;
  moduleIden.tecParam3 = 110.0f;
  moduleIden.thParam1 = 10000.0f;
  moduleIden.thParam2 = 3435.0f;
  moduleIden.thParam3 = 298.15f;
  moduleIden.coolTime = 120;
}

template <class Record>
VirtualController::RecordRef VirtualController::RefTo(Record& record) {
  return {&RecordTraits<Record>::Layout(), RecordTraits<Record>::kSlots, &record, sizeof record};
}

// The controller builds even the records the program only parses (the
// monitors), so this works on the field table rather than BuildInto.
std::vector<uint8_t> VirtualController::Build(const RecordRef& record) {
  std::vector<uint8_t> item(EncodedSize(*record.container));
  BuildRecordBytes(*record.container, record.slots, record.bytes, item.data(), item.size());
  return item;
}

VirtualController::VirtualController(const ControllerSettings& settings, Clock::time_point poweredOn)
    : settings_(settings),
      cooler_(poweredOn),
      noise_(settings.deviceIden.serial.number * 100u + settings.deviceIden.serial.suffix + 1u) {
  memory_.deviceIden = settings.deviceIden;
  memory_.config.noMemCompatible = settings.noMemCompatible ? 1 : 0;
  memory_.moduleIden = settings.moduleIden;
  memory_.moduleIden.type = static_cast<uint8_t>(settings.module);
  memory_.noMemIden = settings.moduleIden;
  memory_.noMemIden.type = static_cast<uint8_t>(ModuleKind::kNoMem);
  memory_.noMemSets = FactoryBasicSets();
  memory_.moduleSets = FactoryBasicSets();
  memory_.veltraSets = FactoryVeltraSets();
  memory_.veltraBanks = FactoryBanks();
  slots_ = MakeSlots();
}

template <Group kGroup, class Record>
VirtualController::RecordRef VirtualController::SlotRecord(Record& record) {
  static_assert(RecordTraits<Record>::kContainerKey == SlotOf(kGroup).container, "the slot's record");
  return RefTo(record);
}

// The memory record of every slot a request writes.
std::optional<VirtualController::RecordRef> VirtualController::MemoryOf(Group group) {
  ControllerMemory& m = memory_;
  switch (group) {
    case Group::kServiceMode: return SlotRecord<Group::kServiceMode>(m.serviceMode);
    case Group::kTransparentMode: return SlotRecord<Group::kTransparentMode>(m.transparentMode);
    case Group::kDeviceIden: return SlotRecord<Group::kDeviceIden>(m.deviceIden);
    case Group::kFroskTecConfig: return SlotRecord<Group::kFroskTecConfig>(m.config);
    case Group::kNoMemModuleIden: return SlotRecord<Group::kNoMemModuleIden>(m.noMemIden);
    case Group::kNoMemDefault: return SlotRecord<Group::kNoMemDefault>(m.noMemSets[kDefaultSet]);
    case Group::kNoMemUserSet: return SlotRecord<Group::kNoMemUserSet>(m.noMemSets[kUserSet]);
    case Group::kNoMemUserMin: return SlotRecord<Group::kNoMemUserMin>(m.noMemSets[kUserMin]);
    case Group::kNoMemUserMax: return SlotRecord<Group::kNoMemUserMax>(m.noMemSets[kUserMax]);
    case Group::kModuleIden: return SlotRecord<Group::kModuleIden>(m.moduleIden);
    case Group::kModuleDefault: return SlotRecord<Group::kModuleDefault>(m.moduleSets[kDefaultSet]);
    case Group::kModuleUserSet: return SlotRecord<Group::kModuleUserSet>(m.moduleSets[kUserSet]);
    case Group::kModuleUserMin: return SlotRecord<Group::kModuleUserMin>(m.moduleSets[kUserMin]);
    case Group::kModuleUserMax: return SlotRecord<Group::kModuleUserMax>(m.moduleSets[kUserMax]);
    case Group::kVeltraDefault: return SlotRecord<Group::kVeltraDefault>(m.veltraSets[kDefaultSet]);
    case Group::kVeltraUserSet: return SlotRecord<Group::kVeltraUserSet>(m.veltraSets[kUserSet]);
    case Group::kVeltraUserMin: return SlotRecord<Group::kVeltraUserMin>(m.veltraSets[kUserMin]);
    case Group::kVeltraUserMax: return SlotRecord<Group::kVeltraUserMax>(m.veltraSets[kUserMax]);
    default: return std::nullopt;  // the monitors are measured, the check values never asked for
  }
}

// Every slot a request writes, named in the kept-memory text after its SET
// command; the mode switches are not kept across a restart.
std::vector<VirtualController::Slot> VirtualController::MakeSlots() {
  std::vector<Slot> slots;
  for (const RecordSlot& slot : kRecordSlots) {
    if (slot.set == 0) continue;
    const std::optional<RecordRef> record = MemoryOf(slot.id);
    if (!record) continue;
    const bool mode = slot.id == Group::kServiceMode || slot.id == Group::kTransparentMode;
    slots.push_back({FindCommand(slot.set)->name.substr(4), slot.get, slot.set, !mode, *record});
  }
  // The banks are reached only through LOAD and STORE.
  constexpr std::string_view kBankNames[] = {"MODULE_VELTRA_BANK_0", "MODULE_VELTRA_BANK_1", "MODULE_VELTRA_BANK_2",
                                             "MODULE_VELTRA_BANK_3"};
  for (size_t i = 0; i < memory_.veltraBanks.size(); ++i)
    slots.push_back({kBankNames[i], 0, 0, true, RefTo(memory_.veltraBanks[i])});
  return slots;
}

VirtualController::Exchange VirtualController::Handle(std::string_view frame, Clock::time_point now) {
  Exchange exchange;
  uint8_t item[kRequestCapacity];
  const FrameDecodeResult decoded = DecodeItem(item, sizeof item, frame);
  exchange.status = decoded.status;
  if (!decoded.ok()) return exchange;
  exchange.request = ItemKey(item);
  const std::vector<uint8_t> reply = Answer(item, now, exchange.memoryChanged);
  if (reply.empty()) return exchange;
  exchange.replyKey = ItemKey(reply.data());
  exchange.reply = FrameEncode(reply.data());
  return exchange;
}

std::vector<uint8_t> VirtualController::Answer(const uint8_t* request, Clock::time_point now, bool& memoryChanged) {
  // The regulation ran under the old setpoints until this request arrived.
  cooler_.AdvanceTo(now, CurrentDrive());
  const Key command = ItemKey(request);
  switch (command) {
    case key::GET_FROSKTEC_MONITOR: {
      FroskTecMonitorRecord monitor = MonitorNow();
      return Build(RefTo(monitor));
    }
    case key::GET_MODULE_VELTRA_MONITOR: {
      ModuleVeltraMonitorRecord monitor = VeltraMonitorNow();
      return Build(RefTo(monitor));
    }
    case key::LOAD_MODULE_VELTRA_PARAMS:
    case key::STORE_MODULE_VELTRA_PARAMS: return AnswerBank(command, request, memoryChanged);
    case key::SET_TRANSPARENT_MODE:
      if (!settings_.refuseTransparentMode) break;
      memory_.transparentMode.enable = 0;
      return Build(RefTo(memory_.transparentMode));
    default: break;
  }
  for (const Slot& slot : slots_) {
    if (slot.get != 0 && command == slot.get) return Build(slot.record);
    if (slot.set == 0 || command != slot.set) continue;
    // A SET without its record changes nothing; one with only some fields changes those.
    const RecordRef& record = slot.record;
    if (const uint8_t* carried = ItemFindChild(request, record.container->key, false)) {
      const std::vector<uint8_t> before(static_cast<uint8_t*>(record.bytes),
                                        static_cast<uint8_t*>(record.bytes) + record.size);
      ParseRecordBytes(*record.container, record.slots, record.bytes, carried);
      ClearTextTails(*record.container, record.slots, record.bytes);
      if (slot.kept && std::memcmp(before.data(), record.bytes, record.size) != 0) memoryChanged = true;
    }
    return Build(record);
  }
  return {};
}

// LOAD copies a bank into the working set, STORE the working set into a bank;
// both answer with that bank, which the working set now equals. A bank that
// does not exist moves nothing, and the answer is the unchanged working set.
std::vector<uint8_t> VirtualController::AnswerBank(Key command, const uint8_t* request, bool& memoryChanged) {
  ModuleVeltraParamsRecord& working = memory_.veltraSets[kUserSet];
  ModuleUserSetBankRecord bank{0xFF};
  const RecordRef index = RefTo(bank);
  // The program only ever builds this record; the controller is the one that reads it.
  if (const uint8_t* carried = ItemFindChild(request, key::MODULE_USER_SET_BANK, false))
    ParseRecordBytes(*index.container, index.slots, index.bytes, carried);
  if (bank.index >= memory_.veltraBanks.size()) return Build(RefTo(working));
  ModuleVeltraParamsRecord& stored = memory_.veltraBanks[bank.index];
  const bool differ = !(working == stored);
  if (command == key::LOAD_MODULE_VELTRA_PARAMS) {
    working = stored;
  } else {
    stored = working;
  }
  if (differ) memoryChanged = true;
  return Build(RefTo(stored));
}

const ModuleBasicParamsRecord& VirtualController::ActiveUserSet() const {
  const bool ownMemory = settings_.module >= ModuleKind::kOneWire;
  return ownMemory ? memory_.moduleSets[kUserSet] : memory_.noMemSets[kUserSet];
}

Cooler::Drive VirtualController::CurrentDrive() const {
  const ModuleBasicParamsRecord& set = ActiveUserSet();
  Cooler::Drive drive;
  drive.tecOn = settings_.module != ModuleKind::kNone && set.tecCtrl != kChoiceOff;
  drive.setpointK = set.tDet / 1000.0;
  drive.currentLimitA = set.iTecMax / 10000.0;
  return drive;
}

int VirtualController::Noise(int amplitude) {
  if (amplitude <= 0) return 0;
  return static_cast<int>(noise_() % static_cast<unsigned>(2 * amplitude + 1)) - amplitude;
}

// Raw values in the monitor's device units: mA with 2 decimals, V with 3, A with 4, K with 3, C with 1.
FroskTecMonitorRecord VirtualController::MonitorNow() {
  const ModuleBasicParamsRecord& set = ActiveUserSet();
  const Cooler::Drive drive = CurrentDrive();
  const bool present = settings_.module != ModuleKind::kNone;
  const bool veltra = settings_.module == ModuleKind::kVeltra;
  const double temperatureK = cooler_.TemperatureK();
  const double currentA = cooler_.CurrentA();
  const double tecVolts = currentA * 1.6 + 0.012 * (Cooler::kAmbientK - temperatureK);

  FroskTecMonitorRecord m{};
  m.supOn = set.supCtrl != kChoiceOff ? 1 : 0;
  m.fanOn = set.fanCtrl != kChoiceOff ? 1 : 0;
  if (m.supOn != 0) {
    const double load = veltra ? 4250 : present ? 1800 : 5;
    m.uSupPlus = Raw<int16_t>(set.uSupPlus - 15 + Noise(3));
    m.uSupMinus = Raw<int16_t>(set.uSupMinus + 12 + Noise(3));
    m.iSupPlus = Raw<int16_t>(load + Noise(20));
    m.iSupMinus = Raw<int16_t>(-0.92 * load + Noise(20));
  }
  if (m.fanOn != 0) m.iFanPlus = Raw<int16_t>(1180 + Noise(8));
  m.iTec = Raw<int16_t>(currentA * 10000);
  m.uTec = Raw<int16_t>(std::max(tecVolts, 0.0) * 1000);
  m.tDet = present ? Raw<int32_t>(temperatureK * 1000 + Noise(15)) : 0;
  m.tInt = Raw<int16_t>(312 + currentA * 25 + Noise(1));
  m.pwm = drive.currentLimitA > 0 ? Raw<uint16_t>(65535 * std::min(currentA / drive.currentLimitA, 1.0)) : 0;
  m.moduleType = static_cast<uint8_t>(settings_.module);
  // A 10 kohm NTC against 10 kohm on a 24-bit converter; open (full scale) without a module.
  const double ntcOhm = 10000 * std::exp(3435 * (1 / temperatureK - 1 / 298.15));
  m.thAdc = present ? static_cast<uint32_t>(16777215 * ntcOhm / (ntcOhm + 10000)) : 16777215u;

  if (settings_.forcedStatus) {
    m.status = *settings_.forcedStatus;
  } else if (!present) {
    m.status = static_cast<uint8_t>(kStatusNoModule);
  } else if (!drive.tecOn) {
    m.status = static_cast<uint8_t>(kStatusNotCooling);
  } else {
    m.status = static_cast<uint8_t>(cooler_.Locked(drive) ? kStatusTemperatureLocked : kStatusCooling);
  }
  return m;
}

ModuleVeltraMonitorRecord VirtualController::VeltraMonitorNow() {
  const ModuleBasicParamsRecord& set = ActiveUserSet();
  const ModuleVeltraParamsRecord& params = memory_.veltraSets[kUserSet];
  const double temperatureK = cooler_.TemperatureK();
  const double currentA = cooler_.CurrentA();
  const double tecVolts = currentA * 1.6 + 0.012 * (Cooler::kAmbientK - temperatureK);
  const bool supplied = set.supCtrl != kChoiceOff;

  ModuleVeltraMonitorRecord m{};
  if (supplied) {
    m.supPlus = Raw<int16_t>(set.uSupPlus - 40 + Noise(4));
    m.supMinus = Raw<int16_t>(set.uSupMinus + 35 + Noise(4));
  }
  if (set.fanCtrl != kChoiceOff) m.fanPlus = Raw<int16_t>(11940 + Noise(10));
  m.tecPlus = Raw<int16_t>(tecVolts * 500);
  m.tecMinus = Raw<int16_t>(-tecVolts * 500);
  // The detector's thermistor against 100 kohm from 1.8 V; the enclosure's sits near mid-scale.
  const double ntcOhm = 10000 * std::exp(3435 * (1 / temperatureK - 1 / 298.15));
  m.th1 = Raw<int16_t>(1800 * ntcOhm / (ntcOhm + 100000) + Noise(1));
  m.th2 = Raw<int16_t>(905 + Noise(2));
  if (supplied) {
    m.uDet = Raw<int16_t>((params.detU - 128) * 1000.0 / 128 + Noise(1));
    m.u1st = Raw<int16_t>((params.detI - 128) * 12.0 + Noise(4));
    m.uOut = Raw<int16_t>((params.offset - 128) * 40.0 + Noise(2 + params.gain / 10));
  }
  m.temp = Raw<int16_t>(284 + currentA * 30 + Noise(1));
  return m;
}

std::string VirtualController::SaveMemory() const {
  std::string text;
  for (const Slot& slot : slots_) {
    if (!slot.kept) continue;
    text += slot.name;
    text += ' ';
    text += FrameEncode(Build(slot.record).data());
    text += '\n';
  }
  return text;
}

bool VirtualController::LoadMemory(std::string_view text, std::string* error) {
  const ControllerMemory before = memory_;
  auto fail = [&](size_t line, const std::string& why) {
    memory_ = before;
    if (error != nullptr) *error = "line " + std::to_string(line) + ": " + why;
    return false;
  };
  size_t lineNumber = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const size_t blank = line.find(' ');
    const std::string_view name = line.substr(0, blank);
    const std::string_view frame = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    const auto slot =
        std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.kept && s.name == name; });
    if (slot == slots_.end()) return fail(lineNumber, "unknown record \"" + std::string(name) + "\"");
    uint8_t item[kRequestCapacity];
    const FrameDecodeResult decoded = DecodeItem(item, sizeof item, frame);
    if (!decoded.ok()) return fail(lineNumber, DescribeFrameFailure(decoded, sizeof item));
    const RecordRef& record = slot->record;
    if (ItemKey(item) != record.container->key)
      return fail(lineNumber, std::string(name) + " holds " + KeyLabel(ItemKey(item)));
    ParseRecordBytes(*record.container, record.slots, record.bytes, item);
    ClearTextTails(*record.container, record.slots, record.bytes);
  }
  return true;
}

std::string KeyLabel(Key key) {
  const std::string_view name = AnyKeyName(key);
  if (!name.empty()) return std::string(name);
  static const char* kDigits = "0123456789ABCDEF";
  std::string text = "0x0000";
  for (int i = 0; i < 4; ++i) text[5 - i] = kDigits[(key >> (4 * i)) & 15];
  return text;
}

}  // namespace frosk::sim
