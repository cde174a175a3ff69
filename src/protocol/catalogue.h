#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "protocol/keys.h"
#include "protocol/value_types.h"

namespace frosk {

// The command catalogue, written once as data: every field with its display
// attributes, every data container with its fields in wire order, every
// command with what it carries and what answers it. Names, holder set-up,
// record layouts, encoded sizes, tree display and froskctl's field names all
// derive from these tables.

struct FieldSpec {
  Key key;
  std::string_view name;
  std::string_view unit = {};
  int32_t min = kUndefined;
  int32_t max = kUndefined;
  int32_t decimals = kUndefined;
  std::string_view choices = {};  // names separated by '#'
  int32_t cstrSize = kUndefined;  // text fields only

  constexpr int Type() const { return key & 15; }
};

struct ContainerSpec {
  Key key;
  std::string_view name;
  std::span<const FieldSpec> fields;
  bool identification;  // named by DeviceIdenKeyName, not KeyName
};

struct CommandSpec {
  Key key;
  std::string_view name;
  Key carries;  // data container of the request's record; 0 for a bare request
  Key answer;   // data container the device answers with
};

namespace catalogue {

using namespace key;

inline constexpr int32_t kTextSize = 32;

inline constexpr FieldSpec kDeviceIdenFields[] = {
    {DEVICE_IDEN_TYPE, "DEVICE_IDEN_TYPE"},
    {DEVICE_IDEN_FIRM_VER, "DEVICE_IDEN_FIRM_VER"},
    {DEVICE_IDEN_HARD_VER, "DEVICE_IDEN_HARD_VER"},
    {DEVICE_IDEN_NAME, "DEVICE_IDEN_NAME", {}, kUndefined, kUndefined, kUndefined, {}, kTextSize},
    {DEVICE_IDEN_SERIAL, "DEVICE_IDEN_SERIAL"},
    {DEVICE_IDEN_PROD_DATE, "DEVICE_IDEN_PROD_DATE"},
};

inline constexpr FieldSpec kDeviceCheckFields[] = {
    {DEVICE_CHECK_VALUE, "DEVICE_CHECK_VALUE"},
};

inline constexpr FieldSpec kServiceModeFields[] = {
    {SERVICE_MODE_ENABLE, "SERVICE_MODE_ENABLE"},
};

inline constexpr FieldSpec kTransparentModeFields[] = {
    {TRANSPARENT_MODE_ENABLE, "TRANSPARENT_MODE_ENABLE"},
};

inline constexpr FieldSpec kFroskTecConfigFields[] = {
    {FROSKTEC_CONFIG_VARIANT, "FROSKTEC_CONFIG_VARIANT", {}, 0, 2, kUndefined, "Basic#OEM#Advanced"},
    {FROSKTEC_CONFIG_NO_MEM_COMPATIBLE, "FROSKTEC_CONFIG_NO_MEM_COMPATIBLE"},
};

inline constexpr FieldSpec kFroskTecMonitorFields[] = {
    {FROSKTEC_MONITOR_SUP_ON, "FROSKTEC_MONITOR_SUP_ON"},
    {FROSKTEC_MONITOR_I_SUP_PLUS, "FROSKTEC_MONITOR_I_SUP_PLUS", "mA", 0, 20475, 2},
    {FROSKTEC_MONITOR_I_SUP_MINUS, "FROSKTEC_MONITOR_I_SUP_MINUS", "mA", -20475, 0, 2},
    {FROSKTEC_MONITOR_FAN_ON, "FROSKTEC_MONITOR_FAN_ON"},
    {FROSKTEC_MONITOR_I_FAN_PLUS, "FROSKTEC_MONITOR_I_FAN_PLUS", "mA", 0, 4095, 1},
    {FROSKTEC_MONITOR_I_TEC, "FROSKTEC_MONITOR_I_TEC", "A", 0, 20475, 4},
    {FROSKTEC_MONITOR_U_TEC, "FROSKTEC_MONITOR_U_TEC", "V", 0, 20475, 3},
    {FROSKTEC_MONITOR_U_SUP_PLUS, "FROSKTEC_MONITOR_U_SUP_PLUS", "V", 0, 20475, 3},
    {FROSKTEC_MONITOR_U_SUP_MINUS, "FROSKTEC_MONITOR_U_SUP_MINUS", "V", -20475, 0, 3},
    {FROSKTEC_MONITOR_T_DET, "FROSKTEC_MONITOR_T_DET", "K", 0, 400000, 3},
    {FROSKTEC_MONITOR_T_INT, "FROSKTEC_MONITOR_T_INT", "C", 0, 1500, 1},
    {FROSKTEC_MONITOR_PWM, "FROSKTEC_MONITOR_PWM", {}, 0, 65535, 0},
    {FROSKTEC_MONITOR_STATUS, "FROSKTEC_MONITOR_STATUS"},
    {FROSKTEC_MONITOR_MODULE_TYPE, "FROSKTEC_MONITOR_MODULE_TYPE", {}, 0, 3, kUndefined, "NONE#NOMEM#1WIRE#VLETRA"},
    {FROSKTEC_MONITOR_TH_ADC, "FROSKTEC_MONITOR_TH_ADC"},
};

inline constexpr FieldSpec kModuleIdenFields[] = {
    {MODULE_IDEN_TYPE, "MODULE_IDEN_TYPE", {}, 0, 3, kUndefined, "NONE#NOMEM#1WIRE#VLETRA"},
    {MODULE_IDEN_FIRM_VER, "MODULE_IDEN_FIRM_VER"},
    {MODULE_IDEN_HARD_VER, "MODULE_IDEN_HARD_VER"},
    {MODULE_IDEN_NAME, "MODULE_IDEN_NAME", {}, kUndefined, kUndefined, kUndefined, {}, kTextSize},
    {MODULE_IDEN_SERIAL, "MODULE_IDEN_SERIAL"},
    {MODULE_IDEN_DET_NAME, "MODULE_IDEN_DET_NAME", {}, kUndefined, kUndefined, kUndefined, {}, kTextSize},
    {MODULE_IDEN_DET_SERIAL, "MODULE_IDEN_DET_SERIAL"},
    {MODULE_IDEN_PROD_DATE, "MODULE_IDEN_PROD_DATE"},
    {MODULE_IDEN_TEC_TYPE, "MODULE_IDEN_TEC_TYPE"},
    {MODULE_IDEN_TH_TYPE, "MODULE_IDEN_TH_TYPE"},
    {MODULE_IDEN_TEC_PARAM1, "MODULE_IDEN_TEC_PARAM1"},
    {MODULE_IDEN_TEC_PARAM2, "MODULE_IDEN_TEC_PARAM2"},
    {MODULE_IDEN_TEC_PARAM3, "MODULE_IDEN_TEC_PARAM3"},
    {MODULE_IDEN_TEC_PARAM4, "MODULE_IDEN_TEC_PARAM4"},
    {MODULE_IDEN_TH_PARAM1, "MODULE_IDEN_TH_PARAM1"},
    {MODULE_IDEN_TH_PARAM2, "MODULE_IDEN_TH_PARAM2"},
    {MODULE_IDEN_TH_PARAM3, "MODULE_IDEN_TH_PARAM3"},
    {MODULE_IDEN_TH_PARAM4, "MODULE_IDEN_TH_PARAM4"},
    {MODULE_IDEN_COOL_TIME, "MODULE_IDEN_COOL_TIME"},
};

inline constexpr FieldSpec kModuleCheckFields[] = {
    {MODULE_CHECK_VALUE, "MODULE_CHECK_VALUE"},
};

inline constexpr FieldSpec kModuleBasicParamsFields[] = {
    {MODULE_BASIC_PARAMS_SUP_CTRL, "MODULE_BASIC_PARAMS_SUP_CTRL", {}, 0, 2, kUndefined, "AUTO#OFF#ON"},
    {MODULE_BASIC_PARAMS_U_SUP_PLUS, "MODULE_BASIC_PARAMS_U_SUP_PLUS", "V", 3000, 15000, 3},
    {MODULE_BASIC_PARAMS_U_SUP_MINUS, "MODULE_BASIC_PARAMS_U_SUP_MINUS", "V", -15000, -3000, 3},
    {MODULE_BASIC_PARAMS_FAN_CTRL, "MODULE_BASIC_PARAMS_FAN_CTRL", {}, 0, 2, kUndefined, "AUTO#OFF#ON"},
    {MODULE_BASIC_PARAMS_TEC_CTRL, "MODULE_BASIC_PARAMS_TEC_CTRL", {}, 0, 2, kUndefined, "AUTO#OFF#ON"},
    {MODULE_BASIC_PARAMS_PWM, "MODULE_BASIC_PARAMS_PWM", {}, 0, 65535},
    {MODULE_BASIC_PARAMS_I_TEC_MAX, "MODULE_BASIC_PARAMS_I_TEC_MAX", "A", 0, 20475, 4},
    {MODULE_BASIC_PARAMS_T_DET, "MODULE_BASIC_PARAMS_T_DET", "K", 100000, 400000, 3},
};

inline constexpr FieldSpec kModuleUserSetBankFields[] = {
    {MODULE_USER_SET_BANK_INDEX, "MODULE_USER_SET_BANK_INDEX"},
};

inline constexpr FieldSpec kModuleVeltraMonitorFields[] = {
    {MODULE_VELTRA_MONITOR_SUP_PLUS, "MODULE_VELTRA_MONITOR_SUP_PLUS", "V", 0, 20475, 3},
    {MODULE_VELTRA_MONITOR_SUP_MINUS, "MODULE_VELTRA_MONITOR_SUP_MINUS", "V", -20480, 20470, 3},
    {MODULE_VELTRA_MONITOR_FAN_PLUS, "MODULE_VELTRA_MONITOR_FAN_PLUS", "V", 0, 20475, 3},
    {MODULE_VELTRA_MONITOR_TEC_PLUS, "MODULE_VELTRA_MONITOR_TEC_PLUS", "V", -20480, 20470, 3},
    {MODULE_VELTRA_MONITOR_TEC_MINUS, "MODULE_VELTRA_MONITOR_TEC_MINUS", "V", -20480, 20470, 3},
    {MODULE_VELTRA_MONITOR_TH1, "MODULE_VELTRA_MONITOR_TH1", "V", -2048, 2047, 3},
    {MODULE_VELTRA_MONITOR_TH2, "MODULE_VELTRA_MONITOR_TH2", "V", 0, 2047, 3},
    {MODULE_VELTRA_MONITOR_U_DET, "MODULE_VELTRA_MONITOR_U_DET", "V", -2048, 2047, 3},
    {MODULE_VELTRA_MONITOR_U_1ST, "MODULE_VELTRA_MONITOR_U_1ST", "V", -4096, 4094, 3},
    {MODULE_VELTRA_MONITOR_U_OUT, "MODULE_VELTRA_MONITOR_U_OUT", "V", -10240, 10235, 3},
    {MODULE_VELTRA_MONITOR_TEMP, "MODULE_VELTRA_MONITOR_TEMP", "C", 0, 1000, 1},
};

inline constexpr FieldSpec kModuleVeltraParamsFields[] = {
    {MODULE_VELTRA_PARAMS_DET_U, "MODULE_VELTRA_PARAMS_DET_U", {}, 0, 256},
    {MODULE_VELTRA_PARAMS_DET_I, "MODULE_VELTRA_PARAMS_DET_I", {}, 0, 256},
    {MODULE_VELTRA_PARAMS_GAIN, "MODULE_VELTRA_PARAMS_GAIN", {}, 0, 256},
    {MODULE_VELTRA_PARAMS_OFFSET, "MODULE_VELTRA_PARAMS_OFFSET", {}, 0, 256},
    {MODULE_VELTRA_PARAMS_VARACTOR, "MODULE_VELTRA_PARAMS_VARACTOR", {}, 0, 4095},
    {MODULE_VELTRA_PARAMS_TRANS, "MODULE_VELTRA_PARAMS_TRANS", {}, 0, 1, kUndefined, "LOW#HIGH"},
    {MODULE_VELTRA_PARAMS_ACDC, "MODULE_VELTRA_PARAMS_ACDC", {}, 0, 1, kUndefined, "AC#DC"},
    {MODULE_VELTRA_PARAMS_BW, "MODULE_VELTRA_PARAMS_BW", {}, 0, 2, kUndefined, "LOW#MID#HIGH"},
};

inline constexpr ContainerSpec kContainers[] = {
    {DEVICE_IDEN, "DEVICE_IDEN", kDeviceIdenFields, true},
    {DEVICE_CHECK, "DEVICE_CHECK", kDeviceCheckFields, true},
    {SERVICE_MODE, "SERVICE_MODE", kServiceModeFields, false},
    {TRANSPARENT_MODE, "TRANSPARENT_MODE", kTransparentModeFields, false},
    {FROSKTEC_CONFIG, "FROSKTEC_CONFIG", kFroskTecConfigFields, false},
    {FROSKTEC_MONITOR, "FROSKTEC_MONITOR", kFroskTecMonitorFields, false},
    {MODULE_IDEN, "MODULE_IDEN", kModuleIdenFields, false},
    {MODULE_CHECK, "MODULE_CHECK", kModuleCheckFields, false},
    {MODULE_BASIC_PARAMS, "MODULE_BASIC_PARAMS", kModuleBasicParamsFields, false},
    {MODULE_USER_SET_BANK, "MODULE_USER_SET_BANK", kModuleUserSetBankFields, false},
    {MODULE_VELTRA_MONITOR, "MODULE_VELTRA_MONITOR", kModuleVeltraMonitorFields, false},
    {MODULE_VELTRA_PARAMS, "MODULE_VELTRA_PARAMS", kModuleVeltraParamsFields, false},
};

inline constexpr CommandSpec kCommands[] = {
    {GET_DEVICE_IDEN, "GET_DEVICE_IDEN", 0, DEVICE_IDEN},
    {SET_DEVICE_IDEN, "SET_DEVICE_IDEN", DEVICE_IDEN, DEVICE_IDEN},
    {GET_SERVICE_MODE, "GET_SERVICE_MODE", 0, SERVICE_MODE},
    {SET_SERVICE_MODE, "SET_SERVICE_MODE", SERVICE_MODE, SERVICE_MODE},
    {SET_TRANSPARENT_MODE, "SET_TRANSPARENT_MODE", TRANSPARENT_MODE, TRANSPARENT_MODE},
    {GET_FROSKTEC_CONFIG, "GET_FROSKTEC_CONFIG", 0, FROSKTEC_CONFIG},
    {SET_FROSKTEC_CONFIG, "SET_FROSKTEC_CONFIG", FROSKTEC_CONFIG, FROSKTEC_CONFIG},
    {GET_FROSKTEC_MONITOR, "GET_FROSKTEC_MONITOR", 0, FROSKTEC_MONITOR},
    {GET_FROSKTEC_MOD_NO_MEM_IDEN, "GET_FROSKTEC_MOD_NO_MEM_IDEN", 0, MODULE_IDEN},
    {SET_FROSKTEC_MOD_NO_MEM_IDEN, "SET_FROSKTEC_MOD_NO_MEM_IDEN", MODULE_IDEN, MODULE_IDEN},
    {GET_FROSKTEC_MOD_NO_MEM_DEFAULT, "GET_FROSKTEC_MOD_NO_MEM_DEFAULT", 0, MODULE_BASIC_PARAMS},
    {SET_FROSKTEC_MOD_NO_MEM_DEFAULT, "SET_FROSKTEC_MOD_NO_MEM_DEFAULT", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_FROSKTEC_MOD_NO_MEM_USER_SET, "GET_FROSKTEC_MOD_NO_MEM_USER_SET", 0, MODULE_BASIC_PARAMS},
    {SET_FROSKTEC_MOD_NO_MEM_USER_SET, "SET_FROSKTEC_MOD_NO_MEM_USER_SET", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_FROSKTEC_MOD_NO_MEM_USER_MIN, "GET_FROSKTEC_MOD_NO_MEM_USER_MIN", 0, MODULE_BASIC_PARAMS},
    {SET_FROSKTEC_MOD_NO_MEM_USER_MIN, "SET_FROSKTEC_MOD_NO_MEM_USER_MIN", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_FROSKTEC_MOD_NO_MEM_USER_MAX, "GET_FROSKTEC_MOD_NO_MEM_USER_MAX", 0, MODULE_BASIC_PARAMS},
    {SET_FROSKTEC_MOD_NO_MEM_USER_MAX, "SET_FROSKTEC_MOD_NO_MEM_USER_MAX", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_MODULE_IDEN, "GET_MODULE_IDEN", 0, MODULE_IDEN},
    {SET_MODULE_IDEN, "SET_MODULE_IDEN", MODULE_IDEN, MODULE_IDEN},
    {GET_MODULE_DEFAULT, "GET_MODULE_DEFAULT", 0, MODULE_BASIC_PARAMS},
    {SET_MODULE_DEFAULT, "SET_MODULE_DEFAULT", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_MODULE_USER_SET, "GET_MODULE_USER_SET", 0, MODULE_BASIC_PARAMS},
    {SET_MODULE_USER_SET, "SET_MODULE_USER_SET", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_MODULE_USER_MIN, "GET_MODULE_USER_MIN", 0, MODULE_BASIC_PARAMS},
    {SET_MODULE_USER_MIN, "SET_MODULE_USER_MIN", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_MODULE_USER_MAX, "GET_MODULE_USER_MAX", 0, MODULE_BASIC_PARAMS},
    {SET_MODULE_USER_MAX, "SET_MODULE_USER_MAX", MODULE_BASIC_PARAMS, MODULE_BASIC_PARAMS},
    {GET_MODULE_VELTRA_MONITOR, "GET_MODULE_VELTRA_MONITOR", 0, MODULE_VELTRA_MONITOR},
    {GET_MODULE_VELTRA_DEFAULT, "GET_MODULE_VELTRA_DEFAULT", 0, MODULE_VELTRA_PARAMS},
    {SET_MODULE_VELTRA_DEFAULT, "SET_MODULE_VELTRA_DEFAULT", MODULE_VELTRA_PARAMS, MODULE_VELTRA_PARAMS},
    {GET_MODULE_VELTRA_USER_SET, "GET_MODULE_VELTRA_USER_SET", 0, MODULE_VELTRA_PARAMS},
    {SET_MODULE_VELTRA_USER_SET, "SET_MODULE_VELTRA_USER_SET", MODULE_VELTRA_PARAMS, MODULE_VELTRA_PARAMS},
    {GET_MODULE_VELTRA_USER_MIN, "GET_MODULE_VELTRA_USER_MIN", 0, MODULE_VELTRA_PARAMS},
    {SET_MODULE_VELTRA_USER_MIN, "SET_MODULE_VELTRA_USER_MIN", MODULE_VELTRA_PARAMS, MODULE_VELTRA_PARAMS},
    {GET_MODULE_VELTRA_USER_MAX, "GET_MODULE_VELTRA_USER_MAX", 0, MODULE_VELTRA_PARAMS},
    {SET_MODULE_VELTRA_USER_MAX, "SET_MODULE_VELTRA_USER_MAX", MODULE_VELTRA_PARAMS, MODULE_VELTRA_PARAMS},
    {LOAD_MODULE_VELTRA_PARAMS, "LOAD_MODULE_VELTRA_PARAMS", MODULE_USER_SET_BANK, MODULE_VELTRA_PARAMS},
    {STORE_MODULE_VELTRA_PARAMS, "STORE_MODULE_VELTRA_PARAMS", MODULE_USER_SET_BANK, MODULE_VELTRA_PARAMS},
};

}  // namespace catalogue

// Bytes a field takes in a record (and in a value holder's store).
constexpr size_t FieldRecordWidth(const FieldSpec& field) { return ValueWidth(field.Type(), field.cstrSize); }

// Bytes a field's item takes on the wire, header included.
constexpr size_t FieldItemSize(const FieldSpec& field) {
  switch (field.Type()) {
    case kCStr: return 4 + static_cast<size_t>(field.cstrSize);
    case kSerial: return 8;
    case kDateTime: return 12;
    default: return 4 + FieldRecordWidth(field);
  }
}

// The size of a record laid out with its fields back to back, as tools that
// build records of any container at run time hold them (see PackedSlots).
constexpr size_t PackedRecordSize(const ContainerSpec& container) {
  size_t size = 0;
  for (const FieldSpec& field : container.fields) size += FieldRecordWidth(field);
  return size;
}

constexpr size_t EncodedSize(const ContainerSpec& container) {
  size_t size = 4;
  for (const FieldSpec& field : container.fields) size += FieldItemSize(field);
  return size;
}

constexpr const ContainerSpec* FindContainer(Key key) {
  for (const ContainerSpec& container : catalogue::kContainers)
    if (container.key == key) return &container;
  return nullptr;
}

constexpr const CommandSpec* FindCommand(Key key) {
  for (const CommandSpec& command : catalogue::kCommands)
    if (command.key == key) return &command;
  return nullptr;
}

// The field with this key and, when asked, the container it belongs to.
const FieldSpec* FindField(Key key, const ContainerSpec** container = nullptr);
const CommandSpec* FindCommandByName(std::string_view name);
const ContainerSpec* FindContainerByName(std::string_view name);
// A field of the given container by its exact name.
const FieldSpec* FindFieldByName(const ContainerSpec& container, std::string_view name);

// The name of a key outside the identification group; empty for none.
std::string_view KeyName(Key key);
// The name of a key of the identification group; empty for none.
std::string_view DeviceIdenKeyName(Key key);
// KeyName, else DeviceIdenKeyName, else empty.
std::string_view AnyKeyName(Key key);

}  // namespace frosk
