#pragma once

#include <string>
#include <string_view>

#include "device/config_file.h"
#include "device/device_engine.h"
#include "protocol/item_tree.h"

namespace frosk {

// What a load of a configuration file came to.
enum class LoadOutcome {
  kNoFile,          // the open dialog was cancelled; nothing happened
  kIntegrityError,  // "File integrity error !"; the device is read again
  kRefused,         // a signature or module check refused the file; the device is read again
  kCancelled,       // the user cancelled the question; the device is read again
  kNothingToSend,   // confirmed, but no record went out: the file held only signatures
  kSending,         // confirmed; the records go out one by one in state 48
};

// The configuration files of one device window: writing and reading them with
// the engine's value holders, the pending records of a loaded file (sent
// through the engine's ConfigSender hook in state 48), the tree of the last
// file written or read, and the user actions that ask for a file through the
// prompter. The views' buttons only call these actions.
class ConfigFileEngine : public ConfigSender {
 public:
  // Becomes the engine's config sender for its lifetime; the engine must outlive it.
  explicit ConfigFileEngine(DeviceEngine& engine);
  ~ConfigFileEngine() override;
  ConfigFileEngine(const ConfigFileEngine&) = delete;
  ConfigFileEngine& operator=(const ConfigFileEngine&) = delete;

  // --- Files ----------------------------------------------------------------
  // Writes the mask's records from the holders; shows the written tree. False,
  // with the tree cleared and the reason in the engine's log, when no file
  // was written.
  bool WriteConfigFile(const std::string& fileName, ContentMask mask);
  // Reads the file, shows its tree and stores the requested records it holds
  // into the holders; `found` gets their bits (0 on entry). False, with the
  // tree cleared and no holder changed, when the file cannot be read or is not
  // a whole, intact and valid frame.
  bool ReadConfigFile(const std::string& fileName, ContentMask requested, ContentMask& found);
  // ReadConfigFile on the file's characters.
  bool ReadConfigText(std::string_view text, ContentMask requested, ContentMask& found);

  // The tree shown in ConfigFileTreeView.
  const ItemTree& ConfigFileTree() const { return tree_; }

  // --- Sending a loaded file --------------------------------------------------
  // Sends the record of the first bit in SendingOrder that is still pending,
  // and clears the bit. False when no record was left (the pending mask is
  // then 0) or the request was lost with a beep.
  bool SendNextConfigItem() override;
  ContentMask PendingMask() const { return pending_; }

  // --- User view --------------------------------------------------------------
  // LoadConfigurationBitBtnClick: checks the file's signatures against the
  // connected devices, asks, then sends its records.
  LoadOutcome LoadConfiguration();
  // SaveConfigurationBitBtnClick: saves what the connected devices support,
  // signed. True when the file was written.
  bool SaveConfiguration();

  // --- Configurator -----------------------------------------------------------
  // ConfigMakeDeviceSignatureLoadButtonClick, ConfigMakeModuleSignatureLoadButtonClick:
  // the file's signature becomes the check value. True when one was found.
  bool DeviceSignatureFromFile();
  bool ModuleSignatureFromFile();
  // ConfigReadFileButtonClick: every record of the file into the holders,
  // then the read-file page. True when the file was read.
  bool ReadConfigurationFromFile();
  // ConfigMakeWriteButtonClick: the ticked records to a file, then the
  // read-file page. True when the file was written; refused with a message,
  // before any file is asked for, when nothing is ticked.
  bool WriteConfigurationToFile(ContentMask ticked);

 private:
  bool SignatureFromFile(ContentMask bit);
  // The first refusal message of the signature and module checks; empty when none applies.
  std::string RefusalOf(ContentMask found, uint16_t deviceSignature, uint16_t moduleSignature) const;
  // Ends a load that sends nothing: the device is read again from the start.
  void ReadDeviceAgain();

  DeviceEngine& engine_;
  ItemTree tree_;
  ContentMask pending_ = 0;
};

}  // namespace frosk
