#include "protocol/catalogue.h"

namespace frosk {

namespace {

bool IsIdentificationCommand(const CommandSpec& command) {
  return command.key == key::GET_DEVICE_IDEN || command.key == key::SET_DEVICE_IDEN;
}

// Looks the key up in the tables; `identification` chooses which half of the
// catalogue answers.
std::string_view NameIn(Key key, bool identification) {
  for (const CommandSpec& command : catalogue::kCommands)
    if (command.key == key) return IsIdentificationCommand(command) == identification ? command.name : "";
  for (const ContainerSpec& container : catalogue::kContainers) {
    if (container.key == key) return container.identification == identification ? container.name : "";
    for (const FieldSpec& field : container.fields)
      if (field.key == key) return container.identification == identification ? field.name : "";
  }
  return {};
}

}  // namespace

const FieldSpec* FindField(Key key, const ContainerSpec** owner) {
  for (const ContainerSpec& container : catalogue::kContainers) {
    for (const FieldSpec& field : container.fields) {
      if (field.key != key) continue;
      if (owner != nullptr) *owner = &container;
      return &field;
    }
  }
  return nullptr;
}

const CommandSpec* FindCommandByName(std::string_view name) {
  for (const CommandSpec& command : catalogue::kCommands)
    if (command.name == name) return &command;
  return nullptr;
}

const ContainerSpec* FindContainerByName(std::string_view name) {
  for (const ContainerSpec& container : catalogue::kContainers)
    if (container.name == name) return &container;
  return nullptr;
}

const FieldSpec* FindFieldByName(const ContainerSpec& container, std::string_view name) {
  for (const FieldSpec& field : container.fields)
    if (field.name == name) return &field;
  return nullptr;
}

std::string_view KeyName(Key key) { return NameIn(key, false); }
std::string_view DeviceIdenKeyName(Key key) { return NameIn(key, true); }

std::string_view AnyKeyName(Key key) {
  const std::string_view name = KeyName(key);
  return name.empty() ? DeviceIdenKeyName(key) : name;
}

}  // namespace frosk
