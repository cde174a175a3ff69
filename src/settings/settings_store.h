#pragma once

#include <string>
#include <string_view>
#include <vector>

class QSettings;

namespace frosk {

// The program-wide settings. One record lives for the whole run: loaded at
// start-up, edited through a copy in the settings dialog, saved at exit.
struct Settings {
  bool UpdatesAutoCheck = true;
  bool UseSpecificPorts = false;
  std::string PortsList;  // port names joined by ",", at most kPortsListCapacity characters
  bool ServiceMode = false;
  // Where recordings go; empty until the user chooses one (RecordingFolderOf).
  std::string RecordingFolder = {};

  bool operator==(const Settings&) const = default;
};

inline constexpr size_t kPortsListCapacity = 1023;

void ResetSettings(Settings& settings);

// The current user's store: on Linux ~/.config/DROV System/FroskManager.conf,
// group "Settings". False, leaving the record as it was, when the store has no
// such group or cannot be read. A value that is missing or of a type that
// cannot be read keeps the field's value.
bool LoadSettings(Settings& settings);
// Writes every field but ServiceMode, which only a technician sets by hand.
// False when the store cannot be written.
bool SaveSettings(const Settings& settings);

// The same on a given store, for tests and tools.
bool LoadSettings(Settings& settings, QSettings& store);
bool SaveSettings(const Settings& settings, QSettings& store);

// The folder recordings go to: RecordingFolder, else FroskManager in the
// user's documents folder.
std::string RecordingFolderOf(const Settings& settings);

// The port names of PortsList in order, empty pieces left out, pieces not trimmed.
std::vector<std::string> PortsListToStrings(const Settings& settings);
// The same rule for any comma-separated list of port names (froskctl's and the
// program's --ports).
std::vector<std::string> SplitPortNames(std::string_view list);
// A PortsList of the names in order: joined by ",", keeping only the names
// that fit whole within kPortsListCapacity.
std::string JoinPortNames(const std::vector<std::string>& names);

}  // namespace frosk
