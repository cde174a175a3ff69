#include "protocol/holders.h"

#include <string>

namespace frosk {

void InitHolder(VFroskClass& holder, const FieldSpec& field) {
  const std::string unit(field.unit);
  const std::string choices(field.choices);
  holder.Init(field.key, field.cstrSize, field.min, field.max, unit.c_str(), choices.c_str(), field.decimals);
}

}  // namespace frosk
