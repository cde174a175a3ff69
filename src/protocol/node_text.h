#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace frosk {

// The text of one node of an item tree, as every tree view and froskctl show
// it: the key's name, then " (" type name, then ": " value, then ")".
// "DEVICE_IDEN (container)", "DEVICE_IDEN_NAME (cstr: FroskTEC)",
// " (uint16: 7)" for a key without a name. The item must be valid (ItemIsValid).
std::string ItemNodeText(const uint8_t* item);

// The value part alone; empty for containers, unknown types and a datetime or
// serial whose payload has the wrong length. Text comes out as the device sent it.
std::string ItemValueText(const uint8_t* item);

// Visits the item and all its descendants depth first, in byte order, with
// their depth (0 for the item itself). The item must be valid.
void WalkItemTree(const uint8_t* item, const std::function<void(const uint8_t* node, int depth)>& visit);

}  // namespace frosk
