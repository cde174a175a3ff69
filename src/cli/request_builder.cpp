#include "cli/request_builder.h"

#include <map>

#include "protocol/catalogue.h"
#include "protocol/field_text.h"
#include "protocol/holders.h"
#include "protocol/item.h"
#include "protocol/records.h"
#include "protocol/text_number.h"

namespace frosk::cli {

namespace {

const CommandSpec* ResolveCommand(const std::string& text) {
  if (text.size() == 6 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0)) {
    Key key = 0;
    for (size_t i = 2; i < 6; ++i) {
      const char c = text[i];
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else return nullptr;
      key = static_cast<Key>(key << 4 | digit);
    }
    return FindCommand(key);
  }
  return FindCommandByName(text);
}

}  // namespace

BuiltRequest BuildRequest(const std::string& command, const std::vector<std::string>& assignments,
                          bool requireAllFields) {
  BuiltRequest built;
  const CommandSpec* definition = ResolveCommand(command);
  if (definition == nullptr) {
    built.error = "unknown command \"" + command + "\"";
    return built;
  }
  if (definition->carries == 0) {
    if (!assignments.empty()) {
      built.error = definition->name;
      built.error += " takes no fields, got \"" + assignments.front() + "\"";
      return built;
    }
    built.item = BareRequest(definition->key);
    return built;
  }

  const ContainerSpec& container = *FindContainer(definition->carries);
  const std::vector<FieldSlot> slots = PackedSlots(container);
  std::vector<uint8_t> record(PackedRecordSize(container), 0);
  std::map<std::string, bool> given;
  for (const std::string& assignment : assignments) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
      built.error = "\"" + assignment + "\" is not FIELD=VALUE";
      return built;
    }
    const std::string name = assignment.substr(0, equals);
    const FieldSpec* field = FindFieldByName(container, name);
    if (field == nullptr) {
      built.error = "unknown field \"" + name + "\" for ";
      built.error += definition->name;
      return built;
    }
    if (given[name]) {
      built.error = "field " + name + " given twice";
      return built;
    }
    given[name] = true;
    VFroskClass holder;
    InitHolder(holder, *field);
    const std::string why =
        SetFieldFromText(holder, std::string_view(assignment).substr(equals + 1), OutOfLimits::kRefuse);
    if (!why.empty()) {
      built.error = name + ": " + why;
      return built;
    }
    holder.GetRaw(record.data() + slots[static_cast<size_t>(field - container.fields.data())].offset);
  }
  if (requireAllFields) {
    std::string missing;
    for (const FieldSpec& field : container.fields) {
      if (given[std::string(field.name)]) continue;
      if (!missing.empty()) missing += ", ";
      missing += field.name;
    }
    if (!missing.empty()) {
      built.error = "missing fields: " + missing;
      return built;
    }
  }
  const size_t size = EncodedSize(container);
  built.item.assign(4 + size, 0);
  ItemPutContainer(built.item.data(), definition->key, static_cast<uint16_t>(4 + size));
  BuildRecordBytes(container, slots, record.data(), built.item.data() + 4, size);
  return built;
}

}  // namespace frosk::cli
