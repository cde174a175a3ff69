#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "device/config_file.h"
#include "device/device_engine.h"
#include "device/holder_set.h"
#include "protocol/item_tree.h"

namespace frosk {

// What a load of a configuration file came to.
enum class LoadOutcome {
  kNoFile,          // the open dialog was cancelled; nothing happened
  kIntegrityError,  // "File integrity error !"; the device is read again
  kRefused,         // a signature, module or value check refused the file; the device is read again
  kCancelled,       // the user cancelled the question; the device is read again
  kNothingToSend,   // confirmed, but no record went out: the file held only signatures
  kSending,         // confirmed; the records go out one by one in state 48
};

// How far a chain of records has come: record `number` of `count` is in
// flight, sent with `command`.
struct ChainProgress {
  int number;
  int count;
  Key command;

  bool operator==(const ChainProgress&) const = default;
};
// "record 3 of 11: SET_MODULE_IDEN".
std::string ProgressText(const ChainProgress& progress);

// The configuration files of one device window: writing and reading them with
// a set of value holders, the records of a loaded file (held apart from the
// device's until they are sent, one by one through the engine's ConfigSender
// hook in state 48), the tree of the last file written or read, and the user
// actions that ask for a file through the prompter. The views' buttons only
// call these actions.
class ConfigFileEngine : public ConfigSender {
 public:
  // Becomes the engine's config sender for its lifetime; the engine must outlive it.
  explicit ConfigFileEngine(DeviceEngine& engine);
  ~ConfigFileEngine() override;
  ConfigFileEngine(const ConfigFileEngine&) = delete;
  ConfigFileEngine& operator=(const ConfigFileEngine&) = delete;

  // --- Files ----------------------------------------------------------------
  // Writes the mask's records from `from`; shows the written tree. False,
  // with the tree cleared and the reason in the engine's log, when no file
  // was written.
  bool WriteConfigFile(const std::string& fileName, ContentMask mask, HolderSet& from);
  // Reads the file, shows its tree and stores the requested records it holds
  // into `into`; `found` gets their bits (0 on entry). False, with the tree
  // cleared and no holder changed, when the file cannot be read or is not a
  // whole, intact and valid frame.
  bool ReadConfigFile(const std::string& fileName, ContentMask requested, ContentMask& found, HolderSet& into);
  // ReadConfigFile on the file's characters.
  bool ReadConfigText(std::string_view text, ContentMask requested, ContentMask& found, HolderSet& into);

  // The tree shown in ConfigFileTreeView.
  const ItemTree& ConfigFileTree() const { return tree_; }

  // --- Sending a loaded file --------------------------------------------------
  // Sends the loaded file's record of the first bit in SendingOrder that is
  // still pending, and clears the bit. False when no record was left (the
  // pending mask is then 0) or the request was lost with a beep.
  bool SendNextConfigItem() override;
  ContentMask PendingMask() const { return pending_; }
  // The loaded file's record last sent. It says how far a load has come
  // while the engine is in state 48, and as each record goes out; none
  // before a load has sent anything and once nothing was left to send.
  std::optional<ChainProgress> Progress() const;
  // While the engine sends a load in state 48: its records answered, in flight and still to go.
  std::optional<ChainRecords> Records() const override;

  // --- User view --------------------------------------------------------------
  // LoadConfigurationBitBtnClick: checks the file's signatures against the
  // connected devices and its values against their limits, asks, then sends
  // its records. The device's own values are never replaced by the file's.
  LoadOutcome LoadConfiguration();
  // SaveConfigurationBitBtnClick: saves what the connected devices support,
  // signed. True when the file was written.
  bool SaveConfiguration();

  // --- Configurator -----------------------------------------------------------
  // ConfigMakeDeviceSignatureLoadButtonClick, ConfigMakeModuleSignatureLoadButtonClick:
  // the file's signature of `bit` becomes the check value in `into`. True when one was found.
  bool SignatureFromFile(ContentMask bit, HolderSet& into);
  // ConfigReadFileButtonClick: every record of the file, over the device's
  // values, into `into`, then the read-file page. True, with the file's name
  // in `fileName`, when the file was read; `into` is left alone otherwise.
  bool ReadConfigurationFromFile(FileHolders& into, std::string* fileName = nullptr);
  // ConfigMakeWriteButtonClick: the ticked records of `from` to a file, then
  // the read-file page. True when the file was written; refused with a
  // message, before any file is asked for, when nothing is ticked.
  bool WriteConfigurationToFile(ContentMask ticked, HolderSet& from);

 private:
  // The first refusal message of the signature and module checks; empty when none applies.
  std::string RefusalOf(ContentMask found);

  DeviceEngine& engine_;
  ItemTree tree_;
  // The records of the file being loaded over the device's own values: what
  // the checks judge and what is sent.
  FileHolders loaded_;
  ContentMask loadMask_ = 0;  // what the load being sent carries
  ContentMask pending_ = 0;
  int recordCount_ = 0;  // records of the load being sent; 0 when none is
  Key lastSent_ = 0;
};

}  // namespace frosk
