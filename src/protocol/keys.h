#pragma once

#include "protocol/value_types.h"

// Every key the controller protocol knows, under its protocol name.
namespace frosk::key {

// Commands. GET_/SET_ pairs lie 0x10 apart.
inline constexpr Key GET_DEVICE_IDEN = 0x0020;
inline constexpr Key SET_DEVICE_IDEN = 0x0030;
inline constexpr Key GET_SERVICE_MODE = 0x0400;
inline constexpr Key SET_SERVICE_MODE = 0x0410;
inline constexpr Key SET_TRANSPARENT_MODE = 0x0450;
inline constexpr Key GET_FROSKTEC_CONFIG = 0x0500;
inline constexpr Key SET_FROSKTEC_CONFIG = 0x0510;
inline constexpr Key GET_FROSKTEC_MONITOR = 0x0520;
inline constexpr Key GET_FROSKTEC_MOD_NO_MEM_IDEN = 0x0600;
inline constexpr Key SET_FROSKTEC_MOD_NO_MEM_IDEN = 0x0610;
inline constexpr Key GET_FROSKTEC_MOD_NO_MEM_DEFAULT = 0x0620;
inline constexpr Key SET_FROSKTEC_MOD_NO_MEM_DEFAULT = 0x0630;
inline constexpr Key GET_FROSKTEC_MOD_NO_MEM_USER_SET = 0x0640;
inline constexpr Key SET_FROSKTEC_MOD_NO_MEM_USER_SET = 0x0650;
inline constexpr Key GET_FROSKTEC_MOD_NO_MEM_USER_MIN = 0x0660;
inline constexpr Key SET_FROSKTEC_MOD_NO_MEM_USER_MIN = 0x0670;
inline constexpr Key GET_FROSKTEC_MOD_NO_MEM_USER_MAX = 0x0680;
inline constexpr Key SET_FROSKTEC_MOD_NO_MEM_USER_MAX = 0x0690;
inline constexpr Key GET_MODULE_IDEN = 0x0800;
inline constexpr Key SET_MODULE_IDEN = 0x0810;
inline constexpr Key GET_MODULE_DEFAULT = 0x0840;
inline constexpr Key SET_MODULE_DEFAULT = 0x0850;
inline constexpr Key GET_MODULE_USER_SET = 0x0860;
inline constexpr Key SET_MODULE_USER_SET = 0x0870;
inline constexpr Key GET_MODULE_USER_MIN = 0x0880;
inline constexpr Key SET_MODULE_USER_MIN = 0x0890;
inline constexpr Key GET_MODULE_USER_MAX = 0x08A0;
inline constexpr Key SET_MODULE_USER_MAX = 0x08B0;
inline constexpr Key GET_MODULE_VELTRA_MONITOR = 0x0A00;
inline constexpr Key GET_MODULE_VELTRA_DEFAULT = 0x0A80;
inline constexpr Key SET_MODULE_VELTRA_DEFAULT = 0x0A90;
inline constexpr Key GET_MODULE_VELTRA_USER_SET = 0x0AA0;
inline constexpr Key SET_MODULE_VELTRA_USER_SET = 0x0AB0;
inline constexpr Key GET_MODULE_VELTRA_USER_MIN = 0x0AC0;
inline constexpr Key SET_MODULE_VELTRA_USER_MIN = 0x0AD0;
inline constexpr Key GET_MODULE_VELTRA_USER_MAX = 0x0AE0;
inline constexpr Key SET_MODULE_VELTRA_USER_MAX = 0x0AF0;
inline constexpr Key LOAD_MODULE_VELTRA_PARAMS = 0x0B40;
inline constexpr Key STORE_MODULE_VELTRA_PARAMS = 0x0B50;

// Data containers.
inline constexpr Key DEVICE_IDEN = 0x0100;
inline constexpr Key DEVICE_CHECK = 0x0200;
inline constexpr Key SERVICE_MODE = 0x1000;
inline constexpr Key TRANSPARENT_MODE = 0x1400;
inline constexpr Key FROSKTEC_CONFIG = 0x1800;
inline constexpr Key FROSKTEC_MONITOR = 0x1C00;
inline constexpr Key MODULE_IDEN = 0x2000;
inline constexpr Key MODULE_CHECK = 0x2200;
inline constexpr Key MODULE_BASIC_PARAMS = 0x2400;
inline constexpr Key MODULE_USER_SET_BANK = 0x2800;
inline constexpr Key MODULE_VELTRA_MONITOR = 0x2C00;
inline constexpr Key MODULE_VELTRA_PARAMS = 0x3000;

// Fields.
inline constexpr Key DEVICE_IDEN_TYPE = 0x0115;
inline constexpr Key DEVICE_IDEN_FIRM_VER = 0x0125;
inline constexpr Key DEVICE_IDEN_HARD_VER = 0x0135;
inline constexpr Key DEVICE_IDEN_NAME = 0x0141;
inline constexpr Key DEVICE_IDEN_SERIAL = 0x015A;
inline constexpr Key DEVICE_IDEN_PROD_DATE = 0x0169;
inline constexpr Key DEVICE_CHECK_VALUE = 0x0215;
inline constexpr Key SERVICE_MODE_ENABLE = 0x101B;
inline constexpr Key TRANSPARENT_MODE_ENABLE = 0x141B;
inline constexpr Key FROSKTEC_CONFIG_VARIANT = 0x1813;
inline constexpr Key FROSKTEC_CONFIG_NO_MEM_COMPATIBLE = 0x182B;
inline constexpr Key FROSKTEC_MONITOR_SUP_ON = 0x1C1B;
inline constexpr Key FROSKTEC_MONITOR_I_SUP_PLUS = 0x1C24;
inline constexpr Key FROSKTEC_MONITOR_I_SUP_MINUS = 0x1C34;
inline constexpr Key FROSKTEC_MONITOR_FAN_ON = 0x1C4B;
inline constexpr Key FROSKTEC_MONITOR_I_FAN_PLUS = 0x1C54;
inline constexpr Key FROSKTEC_MONITOR_I_TEC = 0x1C64;
inline constexpr Key FROSKTEC_MONITOR_U_TEC = 0x1C74;
inline constexpr Key FROSKTEC_MONITOR_U_SUP_PLUS = 0x1C84;
inline constexpr Key FROSKTEC_MONITOR_U_SUP_MINUS = 0x1C94;
inline constexpr Key FROSKTEC_MONITOR_T_DET = 0x1CA6;
inline constexpr Key FROSKTEC_MONITOR_T_INT = 0x1CB4;
inline constexpr Key FROSKTEC_MONITOR_PWM = 0x1CC5;
inline constexpr Key FROSKTEC_MONITOR_STATUS = 0x1CD3;
inline constexpr Key FROSKTEC_MONITOR_MODULE_TYPE = 0x1CE3;
inline constexpr Key FROSKTEC_MONITOR_TH_ADC = 0x1CF7;
inline constexpr Key MODULE_IDEN_TYPE = 0x2013;
inline constexpr Key MODULE_IDEN_FIRM_VER = 0x2025;
inline constexpr Key MODULE_IDEN_HARD_VER = 0x2035;
inline constexpr Key MODULE_IDEN_NAME = 0x2041;
inline constexpr Key MODULE_IDEN_SERIAL = 0x205A;
inline constexpr Key MODULE_IDEN_DET_NAME = 0x2061;
inline constexpr Key MODULE_IDEN_DET_SERIAL = 0x207A;
inline constexpr Key MODULE_IDEN_PROD_DATE = 0x2089;
inline constexpr Key MODULE_IDEN_TEC_TYPE = 0x2093;
inline constexpr Key MODULE_IDEN_TH_TYPE = 0x20A3;
inline constexpr Key MODULE_IDEN_TEC_PARAM1 = 0x20B8;
inline constexpr Key MODULE_IDEN_TEC_PARAM2 = 0x20C8;
inline constexpr Key MODULE_IDEN_TEC_PARAM3 = 0x20D8;
inline constexpr Key MODULE_IDEN_TEC_PARAM4 = 0x20E8;
inline constexpr Key MODULE_IDEN_TH_PARAM1 = 0x20F8;
inline constexpr Key MODULE_IDEN_TH_PARAM2 = 0x2108;
inline constexpr Key MODULE_IDEN_TH_PARAM3 = 0x2118;
inline constexpr Key MODULE_IDEN_TH_PARAM4 = 0x2128;
inline constexpr Key MODULE_IDEN_COOL_TIME = 0x2185;
inline constexpr Key MODULE_CHECK_VALUE = 0x2215;
inline constexpr Key MODULE_BASIC_PARAMS_SUP_CTRL = 0x2413;
inline constexpr Key MODULE_BASIC_PARAMS_U_SUP_PLUS = 0x2424;
inline constexpr Key MODULE_BASIC_PARAMS_U_SUP_MINUS = 0x2434;
inline constexpr Key MODULE_BASIC_PARAMS_FAN_CTRL = 0x2443;
inline constexpr Key MODULE_BASIC_PARAMS_TEC_CTRL = 0x2453;
inline constexpr Key MODULE_BASIC_PARAMS_PWM = 0x2465;
inline constexpr Key MODULE_BASIC_PARAMS_I_TEC_MAX = 0x2474;
inline constexpr Key MODULE_BASIC_PARAMS_T_DET = 0x2487;
inline constexpr Key MODULE_USER_SET_BANK_INDEX = 0x2813;
inline constexpr Key MODULE_VELTRA_MONITOR_SUP_PLUS = 0x2C14;
inline constexpr Key MODULE_VELTRA_MONITOR_SUP_MINUS = 0x2C24;
inline constexpr Key MODULE_VELTRA_MONITOR_FAN_PLUS = 0x2C34;
inline constexpr Key MODULE_VELTRA_MONITOR_TEC_PLUS = 0x2C44;
inline constexpr Key MODULE_VELTRA_MONITOR_TEC_MINUS = 0x2C54;
inline constexpr Key MODULE_VELTRA_MONITOR_TH1 = 0x2C64;
inline constexpr Key MODULE_VELTRA_MONITOR_TH2 = 0x2C74;
inline constexpr Key MODULE_VELTRA_MONITOR_U_DET = 0x2C84;
inline constexpr Key MODULE_VELTRA_MONITOR_U_1ST = 0x2C94;
inline constexpr Key MODULE_VELTRA_MONITOR_U_OUT = 0x2CA4;
inline constexpr Key MODULE_VELTRA_MONITOR_TEMP = 0x2CB4;
inline constexpr Key MODULE_VELTRA_PARAMS_DET_U = 0x3015;
inline constexpr Key MODULE_VELTRA_PARAMS_DET_I = 0x3025;
inline constexpr Key MODULE_VELTRA_PARAMS_GAIN = 0x3035;
inline constexpr Key MODULE_VELTRA_PARAMS_OFFSET = 0x3045;
inline constexpr Key MODULE_VELTRA_PARAMS_VARACTOR = 0x3055;
inline constexpr Key MODULE_VELTRA_PARAMS_TRANS = 0x3063;
inline constexpr Key MODULE_VELTRA_PARAMS_ACDC = 0x3073;
inline constexpr Key MODULE_VELTRA_PARAMS_BW = 0x3083;

}  // namespace frosk::key
