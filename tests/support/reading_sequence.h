#pragma once

#include <vector>

#include "protocol/keys.h"

namespace frosk::test {

// The requests of a device window's reading sequence, in order, for a
// controller whose module has this type: 0 none, 1 NOMEM, 2 1WIRE, 3 VELTRA.
inline std::vector<Key> ReadingSequence(int moduleType) {
  using namespace key;
  std::vector<Key> keys = {GET_SERVICE_MODE,
                           GET_DEVICE_IDEN,
                           GET_FROSKTEC_CONFIG,
                           GET_FROSKTEC_MONITOR,
                           GET_FROSKTEC_MOD_NO_MEM_IDEN,
                           GET_FROSKTEC_MOD_NO_MEM_DEFAULT,
                           GET_FROSKTEC_MOD_NO_MEM_USER_SET,
                           GET_FROSKTEC_MOD_NO_MEM_USER_MIN,
                           GET_FROSKTEC_MOD_NO_MEM_USER_MAX};
  if (moduleType >= 2)
    keys.insert(keys.end(),
                {GET_MODULE_IDEN, GET_MODULE_DEFAULT, GET_MODULE_USER_SET, GET_MODULE_USER_MIN, GET_MODULE_USER_MAX});
  if (moduleType == 3)
    keys.insert(keys.end(), {GET_MODULE_VELTRA_MONITOR, GET_MODULE_VELTRA_DEFAULT, GET_MODULE_VELTRA_USER_SET,
                             GET_MODULE_VELTRA_USER_MIN, GET_MODULE_VELTRA_USER_MAX});
  return keys;
}

}  // namespace frosk::test
