#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/wall_clock.h"
#include "device/config_file.h"
#include "device/config_file_engine.h"
#include "device/device_engine.h"
#include "device/holder_set.h"

namespace frosk {

// The configurator's pages (ConfigNotebook), in their order.
enum class ConfigPage : uint8_t {
  kWait,
  kStart,
  kDeviceIden,
  kModuleIden,
  kModuleParams,
  kVeltraParams,
  kMakeFile,
  kReadFile,
};
inline constexpr int kConfigPageCount = 8;

// The page a SequenceState shows; every state the configurator does not name
// (the waiting states of the write chain among them) shows the wait page.
ConfigPage ConfigPageOf(SequenceState sequenceState);

// Whether a page's Back and Next can be pressed.
struct ConfigNavigation {
  bool back;
  bool next;
};
ConfigNavigation NavigationOf(ConfigPage page);

// What a field of a page shows: the controller's groups, the module
// identification of the page, and the columns of the two parameters pages.
enum class ConfigColumn : uint8_t {
  kDeviceIden,
  kFroskTecConfig,
  kModuleIden,
  kParamsDefault,
  kParamsUserMin,
  kParamsUserMax,
  kVeltraDefault,
  kVeltraUserMin,
  kVeltraUserMax,
};

// The two signatures of a configuration file.
enum class Signature : uint8_t { kDevice, kModule };

// The configurator of a device window apart from its widgets: which page the
// state shows and what its fields edit, the wizard's Next and Back with the
// check of what a page sends, the production defaults, the make-file page's
// content mask and signatures, and its files. Its pages edit the engine's own
// holders, or, after "Read Configuration from File", the file's values held
// apart from the device's until the configurator is left or the device is
// read again. Every operation that changes something ends in the engine's
// Refresh.
class ConfiguratorEngine : public WriteChain {
 public:
  // Becomes the engine's wizard chain for its lifetime.
  ConfiguratorEngine(DeviceEngine& engine, ConfigFileEngine& files, const WallClock& wallClock);
  ~ConfiguratorEngine() override;
  ConfiguratorEngine(const ConfiguratorEngine&) = delete;
  ConfiguratorEngine& operator=(const ConfiguratorEngine&) = delete;

  ConfigPage Page() const { return ConfigPageOf(engine_.SequenceState()); }

  // The values the pages show and edit, and Next and "Write To File..." take:
  // the device's, or the file's while one is shown.
  HolderSet& Values() const;
  // The file whose values the pages show; none while they show the device's.
  std::optional<std::string> FileShown() const;

  // ConfigWizzardButtonClick.
  void StartWizard();
  // ConfigMakeFileButtonClick: both check values from the serials the holders
  // have now, then the make-file page.
  void MakeFile();
  // ConfigNextBitBtnClick: the page goes to the device as it is left, and the
  // chain's replies show the next page; without a link the wizard walks on at
  // once. Leaving a parameters page makes its user set equal to its defaults.
  // A page whose values the device should not hold is not left: a message
  // names each value and its limit, and nothing is sent.
  void Next();
  // ConfigBackBitBtnClick.
  void Back();
  // While the chain writes a record: which one, and how many the wizard
  // writes for the connected devices.
  std::optional<ChainProgress> Progress() const;
  // While the chain writes a record or switches service mode off at its end:
  // the records of the connected devices before it, it, and those after it.
  std::optional<ChainRecords> Records() const override;

  // ConfigDeviceLoadButtonClick: the device read again, its values shown.
  void LoadCurrentConfiguration();
  // ConfigReadFileButtonClick: the pages show the file read, over the
  // device's values where it carries none.
  void ReadFile();
  // ConfigMakeWriteButtonClick: the ticked records of the values shown.
  bool WriteFile(ContentMask ticked);

  // The group a column of the current page shows; none when the state shows
  // no page with that column, and an edit there then changes nothing.
  std::optional<Group> GroupOf(ConfigColumn column) const;
  // The holder of a field in that group; null as above or for a field the group lacks.
  VFroskClass* HolderOf(ConfigColumn column, Key field) const;

  // "Production Default" of each page: the values a new device leaves
  // production with. Nothing is sent.
  void DeviceIdenDefaults();
  void ModuleIdenDefaults();
  void ModuleParamsDefaults();
  void VeltraParamsDefaults();
  // "Today" on the controller's and the module's identification pages.
  void DeviceProdDateToday();
  void ModuleProdDateToday();

  // "Not detected", "1WIRE" or "VELTRA", for the module the controller reports now.
  std::string ConnectedModuleText() const;
  // The headings of the module identification and parameters pages.
  std::string ModuleIdenCaption() const;
  std::string ModuleParamsCaption() const;
  // A row of the basic-parameters page is consistent when each of its three
  // values lies within its holder's own limits and user minimum <= default
  // <= user maximum. False on any other page.
  bool RowConsistent(Key field) const;

  // The record boxes "All" ticks: the controller's always, the NOMEM records
  // for a NOMEM-compatible controller, the module's for a module with memory,
  // the VELTRA records for a VELTRA module, as last read. "None" clears
  // content::kRecords; neither touches the signature boxes.
  ContentMask AllMask() const;
  // The boxes that can be used; a signature bit stands for that signature's
  // box, field and buttons. Without a link every box can be used.
  ContentMask EnabledMask() const;

  VFroskClass& CheckHolder(Signature which) const;
  // The serial a signature is made from: the controller's or the module's.
  const VFroskClass& SerialOf(Signature which) const;
  // "Generate...": the check value of the identification with this serial in
  // place of its own; the identification keeps its serial.
  void GenerateSignature(Signature which, const VFroskClass& serial);
  // "Sygnature from file...": the file's signature becomes the check value.
  bool SignatureFromFile(Signature which);
  // A signature typed into its field, as hexadecimal digits. Text that is not
  // one leaves the check value as it was; false then.
  bool TakeSignatureText(Signature which, std::string_view text);

 private:
  bool NoMemCompatible() const;
  void SetProdDateToday(ConfigColumn column, Key field);

  DeviceEngine& engine_;
  ConfigFileEngine& files_;
  const WallClock& wallClock_;
  int listenerId_ = 0;
  // The file shown, with its name; none while the pages show the device's values.
  std::unique_ptr<FileHolders> file_;
  std::string fileName_;
};

}  // namespace frosk
