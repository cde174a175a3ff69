#include "device/configurator_engine.h"

#include "device/field_display.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

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

}  // namespace

ConfigPage ConfigPageOf(uint8_t sequenceState) {
  switch (sequenceState) {
    case 21: return ConfigPage::kStart;
    case 22: return ConfigPage::kDeviceIden;
    case 25:
    case 32: return ConfigPage::kModuleIden;
    case 27:
    case 34: return ConfigPage::kModuleParams;
    case 39: return ConfigPage::kVeltraParams;
    case 45: return ConfigPage::kMakeFile;
    case 46: return ConfigPage::kReadFile;
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

ConfiguratorEngine::ConfiguratorEngine(DeviceEngine& engine, const WallClock& wallClock)
    : engine_(engine), wallClock_(wallClock) {}

bool ConfiguratorEngine::NoMemCompatible() const {
  return engine_.FroskTecConfig().At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).GetAsInt() != 0;
}

// --- Pages ----------------------------------------------------------------------

void ConfiguratorEngine::StartWizard() {
  engine_.SetSequenceState(kDeviceIdenPage);
  engine_.Refresh();
}

void ConfiguratorEngine::MakeFile() {
  MakeDeviceSignature(engine_.DeviceCheck(), engine_.DeviceIden());
  MakeModuleSignature(engine_.ModuleCheck(), engine_.ModuleIden());
  engine_.SetSequenceState(kMakeFilePage);
  engine_.Refresh();
}

void ConfiguratorEngine::LeavePage(uint8_t waitingState, uint8_t nextPage, bool linked,
                                   const std::function<void()>& send) {
  // The state goes first: the send refreshes the view, which then shows the wait page.
  engine_.SetSequenceState(linked ? waitingState : nextPage);
  if (linked) send();
}

void ConfiguratorEngine::Next() {
  DeviceEngine& e = engine_;
  const bool linked = e.IsDeviceLinked();
  switch (e.SequenceState()) {
    case 22: LeavePage(23, 25, linked, [&] { e.SendDeviceIden(&e.DeviceIden()); }); break;
    case 25:
      LeavePage(26, 27, linked, [&] { e.SendModuleIden(&e.NoMemModuleIden(), SET_FROSKTEC_MOD_NO_MEM_IDEN); });
      break;
    case 27:
      e.NoMemUserSet().SetRaw(e.NoMemDefault().ToRecord());
      LeavePage(28, 32, linked, [&] { e.SendModuleBasicParams(&e.NoMemDefault(), SET_FROSKTEC_MOD_NO_MEM_DEFAULT); });
      break;
    case 32: LeavePage(33, 34, linked, [&] { e.SendModuleIden(&e.ModuleIden(), SET_MODULE_IDEN); }); break;
    case 34:
      e.ModuleUserSet().SetRaw(e.ModuleDefault().ToRecord());
      LeavePage(35, 39, linked, [&] { e.SendModuleBasicParams(&e.ModuleDefault(), SET_MODULE_DEFAULT); });
      break;
    case 39:
      e.VeltraUserSet().SetRaw(e.VeltraDefault().ToRecord());
      LeavePage(40, kStartPage, linked, [&] { e.SendVeltraParams(&e.VeltraDefault(), SET_MODULE_VELTRA_DEFAULT); });
      break;
    default: break;
  }
  e.Refresh();
}

void ConfiguratorEngine::Back() {
  uint8_t state = engine_.SequenceState();
  switch (state) {
    case 22: state = kStartPage; break;
    case 25: state = kDeviceIdenPage; break;
    case 27: state = 25; break;
    case 32: state = NoMemCompatible() ? 27 : kDeviceIdenPage; break;
    case 34: state = 32; break;
    case 39: state = 34; break;
    case 45:
    case 46: state = kStartPage; break;
    default: break;
  }
  engine_.SetSequenceState(state);
  engine_.Refresh();
}

// --- Fields ---------------------------------------------------------------------

std::optional<Group> ConfiguratorEngine::GroupOf(ConfigColumn column) const {
  const uint8_t state = engine_.SequenceState();
  const bool noMemPage = state == 25 || state == 27;
  switch (column) {
    case ConfigColumn::kDeviceIden:
      if (state == kDeviceIdenPage) return Group::kDeviceIden;
      break;
    case ConfigColumn::kFroskTecConfig:
      if (state == kDeviceIdenPage) return Group::kFroskTecConfig;
      break;
    case ConfigColumn::kModuleIden:
      if (state == 25 || state == 32) return noMemPage ? Group::kNoMemModuleIden : Group::kModuleIden;
      break;
    case ConfigColumn::kParamsDefault:
    case ConfigColumn::kParamsUserMin:
    case ConfigColumn::kParamsUserMax: {
      if (state != 27 && state != 34) break;
      // Default, user set, user minimum, user maximum follow each other.
      const int index = column == ConfigColumn::kParamsDefault ? 0 : column == ConfigColumn::kParamsUserMin ? 2 : 3;
      return Offset(noMemPage ? Group::kNoMemDefault : Group::kModuleDefault, index);
    }
    case ConfigColumn::kVeltraDefault:
      if (state == 39) return Group::kVeltraDefault;
      break;
    case ConfigColumn::kVeltraUserMin:
      if (state == 39) return Group::kVeltraUserMin;
      break;
    case ConfigColumn::kVeltraUserMax:
      if (state == 39) return Group::kVeltraUserMax;
      break;
  }
  return std::nullopt;
}

VFroskClass* ConfiguratorEngine::HolderOf(ConfigColumn column, Key field) const {
  const std::optional<Group> group = GroupOf(column);
  return group ? engine_.Holder(*group, field) : nullptr;
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
  const auto set = [&](Key field, int32_t value) { engine_.Holder(*group, field)->SetFromInt(value); };
  const auto setText = [&](Key field, const std::string& text) { engine_.Holder(*group, field)->SetFromText(text); };
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
  if (engine_.SequenceState() == 25) return "NOMEM Module Identification Data:";
  return engine_.LiveModuleType() == kModuleWithMemory ? "1WIRE Module Identification Data:"
                                                       : "KAZ Module Identification Data:";
}

std::string ConfiguratorEngine::ModuleParamsCaption() const {
  if (engine_.SequenceState() == 27) return "NOMEM Module Basic Params:";
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

ContentMask ConfiguratorEngine::AllMask() const {
  const int moduleType = engine_.LiveModuleType();
  ContentMask mask = content::kDeviceIden | content::kFroskTecConfig;
  if (NoMemCompatible()) mask |= content::kNoMemRecords;
  if (moduleType >= kModuleWithMemory) mask |= content::kModuleRecords;
  if (moduleType == kVeltraModule) mask |= content::kVeltraRecords;
  return mask;
}

ContentMask ConfiguratorEngine::EnabledMask() const {
  if (!engine_.IsDeviceLinked()) return content::kRecords | content::kSignatures;
  const int moduleType = engine_.LiveModuleType();
  ContentMask mask = content::kDeviceIden | content::kFroskTecConfig | content::kDeviceSignature;
  if (NoMemCompatible()) mask |= content::kNoMemRecords;
  if (moduleType >= kModuleWithMemory) mask |= content::kModuleRecords | content::kModuleSignature;
  if (moduleType == kVeltraModule) mask |= content::kVeltraRecords;
  return mask;
}

VFroskClass& ConfiguratorEngine::CheckHolder(Signature which) const {
  return which == Signature::kDevice ? engine_.DeviceCheck().At(DEVICE_CHECK_VALUE)
                                     : engine_.ModuleCheck().At(MODULE_CHECK_VALUE);
}

const VFroskClass& ConfiguratorEngine::SerialOf(Signature which) const {
  return which == Signature::kDevice ? engine_.DeviceIden().At(DEVICE_IDEN_SERIAL)
                                     : engine_.ModuleIden().At(MODULE_IDEN_SERIAL);
}

void ConfiguratorEngine::GenerateSignature(Signature which, const VFroskClass& serial) {
  if (which == Signature::kDevice) {
    DeviceIdenHolders iden = engine_.DeviceIden();
    iden.At(DEVICE_IDEN_SERIAL).SetRaw(serial.ValueStore());
    MakeDeviceSignature(engine_.DeviceCheck(), iden);
  } else {
    ModuleIdenHolders iden = engine_.ModuleIden();
    iden.At(MODULE_IDEN_SERIAL).SetRaw(serial.ValueStore());
    MakeModuleSignature(engine_.ModuleCheck(), iden);
  }
  engine_.Refresh();
}

bool ConfiguratorEngine::TakeSignatureText(Signature which, std::string_view text) {
  const std::optional<uint32_t> value = ParseSignatureText(text);
  if (value) CheckHolder(which).SetFromInt(static_cast<int32_t>(*value));
  // Either way the field shows the check value it now has.
  engine_.Refresh();
  return value.has_value();
}

}  // namespace frosk
