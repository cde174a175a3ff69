#include "device/configurator_engine.h"

#include <algorithm>
#include <bit>

#include "device/field_display.h"
#include "device/value_check.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;
using enum SequenceState;

namespace {

constexpr const char* kNoSerial = "000000-00";

// A field's production default in each column of a parameters page.
struct RowDefaults {
  Key field;
  int32_t defaults;
  int32_t userMin;
  int32_t userMax;
};

constexpr RowDefaults kBasicParamsDefaults[] = {
    {MODULE_BASIC_PARAMS_SUP_CTRL, 0, 0, 0},
    {MODULE_BASIC_PARAMS_U_SUP_PLUS, 12000, 12000, 12000},
    {MODULE_BASIC_PARAMS_U_SUP_MINUS, -12000, -12000, -12000},
    {MODULE_BASIC_PARAMS_FAN_CTRL, 0, 0, 0},
    {MODULE_BASIC_PARAMS_TEC_CTRL, 0, 0, 0},
    {MODULE_BASIC_PARAMS_PWM, 0, 0, 0},
    {MODULE_BASIC_PARAMS_I_TEC_MAX, 5000, 5000, 5000},
    {MODULE_BASIC_PARAMS_T_DET, 230000, 220000, 300000},
};

constexpr RowDefaults kVeltraParamsDefaults[] = {
    {MODULE_VELTRA_PARAMS_DET_U, 0, 0, 256},     {MODULE_VELTRA_PARAMS_DET_I, 0, 0, 256},
    {MODULE_VELTRA_PARAMS_GAIN, 0, 0, 256},      {MODULE_VELTRA_PARAMS_OFFSET, 0, 0, 256},
    {MODULE_VELTRA_PARAMS_VARACTOR, 0, 0, 4095}, {MODULE_VELTRA_PARAMS_TRANS, 0, 0, 1},
    {MODULE_VELTRA_PARAMS_ACDC, 0, 0, 1},        {MODULE_VELTRA_PARAMS_BW, 0, 0, 2},
};

Group Offset(Group first, int by) { return static_cast<Group>(static_cast<int>(first) + by); }

constexpr ContentMask Bits(std::initializer_list<Group> groups) {
  ContentMask bits = 0;
  for (const Group group : groups) bits |= SlotOf(group).bit;
  return bits;
}

// What leaving a page with Next sends, and the user set it makes equal to its
// defaults first; no records for a state that shows no wizard page.
struct PageRecords {
  ContentMask records = 0;
  std::optional<Group> defaults;
  std::optional<Group> userSet;
};

PageRecords RecordsOfPage(SequenceState state) {
  switch (state) {
    case kConfiguratorDeviceIden: return {Bits({Group::kDeviceIden, Group::kFroskTecConfig}), {}, {}};
    case kConfiguratorNoMemModuleIden: return {Bits({Group::kNoMemModuleIden}), {}, {}};
    case kConfiguratorNoMemParams:
      return {Bits({Group::kNoMemDefault, Group::kNoMemUserSet, Group::kNoMemUserMin, Group::kNoMemUserMax}),
              Group::kNoMemDefault, Group::kNoMemUserSet};
    case kConfiguratorModuleIden: return {Bits({Group::kModuleIden}), {}, {}};
    case kConfiguratorModuleParams:
      return {Bits({Group::kModuleDefault, Group::kModuleUserSet, Group::kModuleUserMin, Group::kModuleUserMax}),
              Group::kModuleDefault, Group::kModuleUserSet};
    case kConfiguratorVeltraParams:
      return {Bits({Group::kVeltraDefault, Group::kVeltraUserSet, Group::kVeltraUserMin, Group::kVeltraUserMax}),
              Group::kVeltraDefault, Group::kVeltraUserSet};
    default: return {};
  }
}

void CopyRecord(HolderSet& holders, Group from, Group to) {
  const std::span<VFroskClass> source = holders.Holders(from);
  std::copy(source.begin(), source.end(), holders.Holders(to).begin());
}

// The record each waiting state of the write chain awaits the answer to.
std::optional<Group> RecordInFlight(SequenceState state) {
  switch (state) {
    case kWriteDeviceIden: return Group::kDeviceIden;
    case kWriteFroskTecConfig: return Group::kFroskTecConfig;
    case kWriteNoMemModuleIden: return Group::kNoMemModuleIden;
    case kWriteNoMemDefault: return Group::kNoMemDefault;
    case kWriteNoMemUserSet: return Group::kNoMemUserSet;
    case kWriteNoMemUserMin: return Group::kNoMemUserMin;
    case kWriteNoMemUserMax: return Group::kNoMemUserMax;
    case kWriteModuleIden: return Group::kModuleIden;
    case kWriteModuleDefault: return Group::kModuleDefault;
    case kWriteModuleUserSet: return Group::kModuleUserSet;
    case kWriteModuleUserMin: return Group::kModuleUserMin;
    case kWriteModuleUserMax: return Group::kModuleUserMax;
    case kWriteVeltraDefault: return Group::kVeltraDefault;
    case kWriteVeltraUserSet: return Group::kVeltraUserSet;
    case kWriteVeltraUserMin: return Group::kVeltraUserMin;
    case kWriteVeltraUserMax: return Group::kVeltraUserMax;
    default: return std::nullopt;
  }
}

}  // namespace

ConfigPage ConfigPageOf(SequenceState sequenceState) {
  switch (sequenceState) {
    case kConfiguratorStart: return ConfigPage::kStart;
    case kConfiguratorDeviceIden: return ConfigPage::kDeviceIden;
    case kConfiguratorNoMemModuleIden:
    case kConfiguratorModuleIden: return ConfigPage::kModuleIden;
    case kConfiguratorNoMemParams:
    case kConfiguratorModuleParams: return ConfigPage::kModuleParams;
    case kConfiguratorVeltraParams: return ConfigPage::kVeltraParams;
    case kConfiguratorMakeFile: return ConfigPage::kMakeFile;
    case kConfiguratorReadFile: return ConfigPage::kReadFile;
    default: return ConfigPage::kWait;
  }
}

ConfigNavigation NavigationOf(ConfigPage page) {
  switch (page) {
    case ConfigPage::kWait:
    case ConfigPage::kStart: return {false, false};
    case ConfigPage::kMakeFile:
    case ConfigPage::kReadFile: return {true, false};
    default: return {true, true};
  }
}

ConfiguratorEngine::ConfiguratorEngine(DeviceEngine& engine, ConfigFileEngine& files, const WallClock& wallClock)
    : engine_(engine), files_(files), wallClock_(wallClock) {
  // A file is shown only inside the configurator: once it is left, the pages
  // show the device again, as it is read anew.
  listenerId_ = engine_.AddRefreshListener([this](GroupMask) {
    if (engine_.ViewPage() != DeviceEngine::kConfiguratorPage) file_.reset();
  });
  engine_.SetWizardChain(this);
}

ConfiguratorEngine::~ConfiguratorEngine() {
  engine_.SetWizardChain(nullptr);
  engine_.RemoveRefreshListener(listenerId_);
}

HolderSet& ConfiguratorEngine::Values() const {
  if (file_) return *file_;
  return engine_;
}

std::optional<std::string> ConfiguratorEngine::FileShown() const {
  if (!file_) return std::nullopt;
  return fileName_;
}

bool ConfiguratorEngine::NoMemCompatible() const {
  return Values().Holder(Group::kFroskTecConfig, FROSKTEC_CONFIG_NO_MEM_COMPATIBLE)->GetAsInt() != 0;
}

// --- Pages ----------------------------------------------------------------------

void ConfiguratorEngine::StartWizard() { engine_.ShowConfiguratorPage(kConfiguratorDeviceIden); }

void ConfiguratorEngine::MakeFile() {
  for (const Signature which : {Signature::kDevice, Signature::kModule})
    CheckHolder(which).SetFromInt(SerialSignature(SerialOf(which)));
  engine_.ShowConfiguratorPage(kConfiguratorMakeFile);
}

namespace {

// Whether the values a page sends, taken from `values`, may go to the device;
// says why not.
bool PageFits(DeviceEngine& engine, HolderSet& values, const PageRecords& page) {
  // The device after the write: the page's records as Next sends them, the
  // device's own for the rest.
  FileHolders after;
  CopyRecords(engine, after);
  CopyRecords(values, after, page.records);
  if (page.defaults) CopyRecord(after, *page.defaults, *page.userSet);
  const std::vector<ValueViolation> violations = CheckValues(page.records, engine.SupportedContent(), after);
  if (violations.empty()) return true;
  RefuseValues(engine, violations);
  return false;
}

}  // namespace

void ConfiguratorEngine::Next() {
  const PageRecords page = RecordsOfPage(engine_.SequenceState());
  if (page.records == 0 || !PageFits(engine_, Values(), page)) {
    engine_.Refresh();
    return;
  }
  if (page.defaults) CopyRecord(Values(), *page.defaults, *page.userSet);
  // What a page sends from a file becomes the device's as it goes out, the
  // way an edit of the device's values does.
  if (file_ && engine_.IsDeviceLinked()) CopyRecords(*file_, engine_, page.records);
  DeviceEngine& e = engine_;
  switch (e.SequenceState()) {
    case kConfiguratorDeviceIden:
      e.LeaveConfiguratorPage(kWriteDeviceIden, kConfiguratorNoMemModuleIden,
                              [&] { e.SendDeviceIden(&e.DeviceIden()); });
      break;
    case kConfiguratorNoMemModuleIden:
      e.LeaveConfiguratorPage(kWriteNoMemModuleIden, kConfiguratorNoMemParams,
                              [&] { e.SendModuleIden(&e.NoMemModuleIden(), SET_FROSKTEC_MOD_NO_MEM_IDEN); });
      break;
    case kConfiguratorNoMemParams:
      e.LeaveConfiguratorPage(kWriteNoMemDefault, kConfiguratorModuleIden,
                              [&] { e.SendModuleBasicParams(&e.NoMemDefault(), SET_FROSKTEC_MOD_NO_MEM_DEFAULT); });
      break;
    case kConfiguratorModuleIden:
      e.LeaveConfiguratorPage(kWriteModuleIden, kConfiguratorModuleParams,
                              [&] { e.SendModuleIden(&e.ModuleIden(), SET_MODULE_IDEN); });
      break;
    case kConfiguratorModuleParams:
      e.LeaveConfiguratorPage(kWriteModuleDefault, kConfiguratorVeltraParams,
                              [&] { e.SendModuleBasicParams(&e.ModuleDefault(), SET_MODULE_DEFAULT); });
      break;
    case kConfiguratorVeltraParams:
      e.LeaveConfiguratorPage(kWriteVeltraDefault, kConfiguratorStart,
                              [&] { e.SendVeltraParams(&e.VeltraDefault(), SET_MODULE_VELTRA_DEFAULT); });
      break;
    default: break;
  }
  e.Refresh();
}

void ConfiguratorEngine::Back() {
  SequenceState page = engine_.SequenceState();
  switch (page) {
    case kConfiguratorDeviceIden: page = kConfiguratorStart; break;
    case kConfiguratorNoMemModuleIden: page = kConfiguratorDeviceIden; break;
    case kConfiguratorNoMemParams: page = kConfiguratorNoMemModuleIden; break;
    case kConfiguratorModuleIden: page = NoMemCompatible() ? kConfiguratorNoMemParams : kConfiguratorDeviceIden; break;
    case kConfiguratorModuleParams: page = kConfiguratorModuleIden; break;
    case kConfiguratorVeltraParams: page = kConfiguratorModuleParams; break;
    case kConfiguratorMakeFile:
    case kConfiguratorReadFile: page = kConfiguratorStart; break;
    default: break;
  }
  // A state that shows no page stays as it is.
  if (!engine_.ShowConfiguratorPage(page)) engine_.Refresh();
}

std::optional<ChainProgress> ConfiguratorEngine::Progress() const {
  if (!RecordInFlight(engine_.SequenceState())) return std::nullopt;
  const ChainRecords chain = *Records();
  const int before = static_cast<int>(chain.written.size());
  return ChainProgress{before + 1, before + 1 + static_cast<int>(chain.notSent.size()), chain.inFlight};
}

std::optional<ChainRecords> ConfiguratorEngine::Records() const {
  const SequenceState state = engine_.SequenceState();
  const std::optional<Group> record = RecordInFlight(state);
  if (!record && state != kLeaveServiceMode) return std::nullopt;
  // The wizard writes every record the connected devices hold, in the order
  // of their bits, the order of its pages; a page is reached only through
  // the replies to all before it. Its end switches service mode off.
  const ContentMask bit = record ? SlotOf(*record).bit : 0;
  const ContentMask records = (engine_.SupportedContent() & content::kRecords) | bit;
  ChainRecords chain;
  chain.inFlight = record ? SlotOf(*record).set : SET_SERVICE_MODE;
  for (ContentMask rest = records; rest != 0; rest &= rest - 1) {
    const ContentMask each = rest & (0u - rest);
    if (each == bit) continue;
    const Key set = SlotOfBit(each)->set;
    if (record && each > bit)
      chain.notSent.push_back(set);
    else
      chain.written.push_back(set);
  }
  return chain;
}

// --- Files ----------------------------------------------------------------------

void ConfiguratorEngine::LoadCurrentConfiguration() {
  file_.reset();
  engine_.GetConfiguration();
}

void ConfiguratorEngine::ReadFile() {
  auto file = std::make_unique<FileHolders>();
  std::string fileName;
  if (files_.ReadConfigurationFromFile(*file, &fileName)) {
    file_ = std::move(file);
    fileName_ = fileName;
  }
  engine_.Refresh();
}

bool ConfiguratorEngine::WriteFile(ContentMask ticked) { return files_.WriteConfigurationToFile(ticked, Values()); }

// --- Fields ---------------------------------------------------------------------

std::optional<Group> ConfiguratorEngine::GroupOf(ConfigColumn column) const {
  const SequenceState state = engine_.SequenceState();
  const bool noMemPage = state == kConfiguratorNoMemModuleIden || state == kConfiguratorNoMemParams;
  switch (column) {
    case ConfigColumn::kDeviceIden:
      if (state == kConfiguratorDeviceIden) return Group::kDeviceIden;
      break;
    case ConfigColumn::kFroskTecConfig:
      if (state == kConfiguratorDeviceIden) return Group::kFroskTecConfig;
      break;
    case ConfigColumn::kModuleIden:
      if (state == kConfiguratorNoMemModuleIden || state == kConfiguratorModuleIden)
        return noMemPage ? Group::kNoMemModuleIden : Group::kModuleIden;
      break;
    case ConfigColumn::kParamsDefault:
    case ConfigColumn::kParamsUserMin:
    case ConfigColumn::kParamsUserMax: {
      if (state != kConfiguratorNoMemParams && state != kConfiguratorModuleParams) break;
      // Default, user set, user minimum, user maximum follow each other.
      const int index = column == ConfigColumn::kParamsDefault ? 0 : column == ConfigColumn::kParamsUserMin ? 2 : 3;
      return Offset(noMemPage ? Group::kNoMemDefault : Group::kModuleDefault, index);
    }
    case ConfigColumn::kVeltraDefault:
      if (state == kConfiguratorVeltraParams) return Group::kVeltraDefault;
      break;
    case ConfigColumn::kVeltraUserMin:
      if (state == kConfiguratorVeltraParams) return Group::kVeltraUserMin;
      break;
    case ConfigColumn::kVeltraUserMax:
      if (state == kConfiguratorVeltraParams) return Group::kVeltraUserMax;
      break;
  }
  return std::nullopt;
}

VFroskClass* ConfiguratorEngine::HolderOf(ConfigColumn column, Key field) const {
  const std::optional<Group> group = GroupOf(column);
  return group ? Values().Holder(*group, field) : nullptr;
}

// --- Production defaults ------------------------------------------------------------

void ConfiguratorEngine::DeviceIdenDefaults() {
  VFroskClass* hardVer = HolderOf(ConfigColumn::kDeviceIden, DEVICE_IDEN_HARD_VER);
  if (hardVer == nullptr) return;
  hardVer->SetFromInt(1);
  HolderOf(ConfigColumn::kDeviceIden, DEVICE_IDEN_NAME)->SetFromText("FroskTEC");
  HolderOf(ConfigColumn::kDeviceIden, DEVICE_IDEN_SERIAL)->SetFromText(kNoSerial);
  HolderOf(ConfigColumn::kDeviceIden, DEVICE_IDEN_PROD_DATE)->SetFromText(FormatDate(wallClock_.Now()));
  HolderOf(ConfigColumn::kFroskTecConfig, FROSKTEC_CONFIG_VARIANT)->SetFromInt(0);
  HolderOf(ConfigColumn::kFroskTecConfig, FROSKTEC_CONFIG_NO_MEM_COMPATIBLE)->SetFromInt(0);
  engine_.Refresh();
}

void ConfiguratorEngine::ModuleIdenDefaults() {
  const std::optional<Group> group = GroupOf(ConfigColumn::kModuleIden);
  if (!group) return;
  const auto set = [&](Key field, int32_t value) { Values().Holder(*group, field)->SetFromInt(value); };
  const auto setText = [&](Key field, const std::string& text) { Values().Holder(*group, field)->SetFromText(text); };
  if (*group == Group::kNoMemModuleIden) {
    set(MODULE_IDEN_TYPE, 0);
    set(MODULE_IDEN_FIRM_VER, 0);
  } else if (engine_.LiveModuleType() == kModuleWithMemory) {
    // A 1WIRE module has no firmware to report its type: its memory says it.
    set(MODULE_IDEN_TYPE, kModuleWithMemory);
    set(MODULE_IDEN_FIRM_VER, 1);
  }
  set(MODULE_IDEN_HARD_VER, 1);
  setText(MODULE_IDEN_NAME, "");
  setText(MODULE_IDEN_SERIAL, kNoSerial);
  setText(MODULE_IDEN_DET_NAME, "");
  setText(MODULE_IDEN_DET_SERIAL, kNoSerial);
  setText(MODULE_IDEN_PROD_DATE, FormatDate(wallClock_.Now()));
  set(MODULE_IDEN_TEC_TYPE, 1);
  set(MODULE_IDEN_TH_TYPE, 1);
  for (const Key param :
       {MODULE_IDEN_TEC_PARAM1, MODULE_IDEN_TEC_PARAM2, MODULE_IDEN_TEC_PARAM3, MODULE_IDEN_TEC_PARAM4,
        MODULE_IDEN_TH_PARAM1, MODULE_IDEN_TH_PARAM2, MODULE_IDEN_TH_PARAM3, MODULE_IDEN_TH_PARAM4})
    set(param, 0);
  set(MODULE_IDEN_COOL_TIME, 120);
  engine_.Refresh();
}

namespace {

template <size_t N>
void SetRows(const ConfiguratorEngine& configurator, const RowDefaults (&rows)[N], ConfigColumn defaults,
             ConfigColumn userMin, ConfigColumn userMax) {
  for (const RowDefaults& row : rows) {
    configurator.HolderOf(defaults, row.field)->SetFromInt(row.defaults);
    configurator.HolderOf(userMin, row.field)->SetFromInt(row.userMin);
    configurator.HolderOf(userMax, row.field)->SetFromInt(row.userMax);
  }
}

}  // namespace

void ConfiguratorEngine::ModuleParamsDefaults() {
  if (!GroupOf(ConfigColumn::kParamsDefault)) return;
  SetRows(*this, kBasicParamsDefaults, ConfigColumn::kParamsDefault, ConfigColumn::kParamsUserMin,
          ConfigColumn::kParamsUserMax);
  engine_.Refresh();
}

void ConfiguratorEngine::VeltraParamsDefaults() {
  if (!GroupOf(ConfigColumn::kVeltraDefault)) return;
  SetRows(*this, kVeltraParamsDefaults, ConfigColumn::kVeltraDefault, ConfigColumn::kVeltraUserMin,
          ConfigColumn::kVeltraUserMax);
  engine_.Refresh();
}

void ConfiguratorEngine::SetProdDateToday(ConfigColumn column, Key field) {
  VFroskClass* date = HolderOf(column, field);
  if (date == nullptr) return;
  date->SetFromText(FormatDate(wallClock_.Now()));
  engine_.Refresh();
}

void ConfiguratorEngine::DeviceProdDateToday() { SetProdDateToday(ConfigColumn::kDeviceIden, DEVICE_IDEN_PROD_DATE); }

void ConfiguratorEngine::ModuleProdDateToday() { SetProdDateToday(ConfigColumn::kModuleIden, MODULE_IDEN_PROD_DATE); }

// --- Texts ----------------------------------------------------------------------------

std::string ConfiguratorEngine::ConnectedModuleText() const {
  switch (engine_.LiveModuleType()) {
    case kModuleWithMemory: return "1WIRE";
    case kVeltraModule: return "VELTRA";
    default: return "Not detected";
  }
}

std::string ConfiguratorEngine::ModuleIdenCaption() const {
  if (engine_.SequenceState() == kConfiguratorNoMemModuleIden) return "NOMEM Module Identification Data:";
  return engine_.LiveModuleType() == kModuleWithMemory ? "1WIRE Module Identification Data:"
                                                       : "KAZ Module Identification Data:";
}

std::string ConfiguratorEngine::ModuleParamsCaption() const {
  if (engine_.SequenceState() == kConfiguratorNoMemParams) return "NOMEM Module Basic Params:";
  return engine_.LiveModuleType() == kModuleWithMemory ? "1WIRE Module Basic Params:" : "KAZ Module Basic Params:";
}

bool ConfiguratorEngine::RowConsistent(Key field) const {
  const VFroskClass* defaults = HolderOf(ConfigColumn::kParamsDefault, field);
  const VFroskClass* userMin = HolderOf(ConfigColumn::kParamsUserMin, field);
  const VFroskClass* userMax = HolderOf(ConfigColumn::kParamsUserMax, field);
  return defaults != nullptr && userMin != nullptr && userMax != nullptr &&
         UserSetIsValid(*defaults, *userMin, *userMax);
}

// --- Make-file page -----------------------------------------------------------------

ContentMask ConfiguratorEngine::AllMask() const { return engine_.SupportedContent() & content::kRecords; }

ContentMask ConfiguratorEngine::EnabledMask() const {
  if (!engine_.IsDeviceLinked()) return content::kRecords | content::kSignatures;
  return engine_.SupportedContent();
}

VFroskClass& ConfiguratorEngine::CheckHolder(Signature which) const {
  return which == Signature::kDevice ? *Values().Holder(Group::kDeviceCheck, DEVICE_CHECK_VALUE)
                                     : *Values().Holder(Group::kModuleCheck, MODULE_CHECK_VALUE);
}

const VFroskClass& ConfiguratorEngine::SerialOf(Signature which) const {
  return which == Signature::kDevice ? *Values().Holder(Group::kDeviceIden, DEVICE_IDEN_SERIAL)
                                     : *Values().Holder(Group::kModuleIden, MODULE_IDEN_SERIAL);
}

// A signature depends on the serial alone.
void ConfiguratorEngine::GenerateSignature(Signature which, const VFroskClass& serial) {
  CheckHolder(which).SetFromInt(SerialSignature(serial));
  engine_.Refresh();
}

bool ConfiguratorEngine::SignatureFromFile(Signature which) {
  return files_.SignatureFromFile(which == Signature::kDevice ? content::kDeviceSignature : content::kModuleSignature,
                                  Values());
}

bool ConfiguratorEngine::TakeSignatureText(Signature which, std::string_view text) {
  const std::optional<uint32_t> value = ParseSignatureText(text);
  if (value) CheckHolder(which).SetFromInt(static_cast<int32_t>(*value));
  // Either way the field shows the check value it now has.
  engine_.Refresh();
  return value.has_value();
}

}  // namespace frosk
