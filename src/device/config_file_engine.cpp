#include "device/config_file_engine.h"

#include <bit>

#include "device/value_check.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

namespace {

constexpr const char* kIntegrityError = "File integrity error !";
constexpr const char* kWritten = "Configuration written to file.";

const FileDialogRequest kConfigFileDialog = {"Frosk Configuration Files|*.froskconfig", ".froskconfig"};

}  // namespace

std::string ProgressText(const ChainProgress& progress) {
  return "record " + std::to_string(progress.number) + " of " + std::to_string(progress.count) + ": " +
         std::string(AnyKeyName(progress.command));
}

ConfigFileEngine::ConfigFileEngine(DeviceEngine& engine) : engine_(engine) { engine_.SetConfigSender(this); }

ConfigFileEngine::~ConfigFileEngine() { engine_.SetConfigSender(nullptr); }

// --- Files ----------------------------------------------------------------------

bool ConfigFileEngine::WriteConfigFile(const std::string& fileName, ContentMask mask, HolderSet& from) {
  const std::vector<uint8_t> root = BuildConfigRoot(from, mask);
  const std::string frame = FrameEncode(root.data());
  std::string why;
  const bool written = frame.size() == 2 * root.size() + 6 && WriteConfigFileText(fileName, frame, &why);
  tree_.Clear();
  if (written) tree_.ShowItemTree(root.data());
  // The failure's message box has a fixed text; the reason goes to the log.
  if (!why.empty()) engine_.WriteLog("Cannot write " + fileName + ": " + why);
  return written;
}

bool ConfigFileEngine::ReadConfigFile(const std::string& fileName, ContentMask requested, ContentMask& found,
                                      HolderSet& into) {
  found = 0;
  const std::optional<std::string> text = ReadConfigFileText(fileName);
  if (!text) {
    tree_.Clear();
    return false;
  }
  return ReadConfigText(*text, requested, found, into);
}

bool ConfigFileEngine::ReadConfigText(std::string_view text, ContentMask requested, ContentMask& found,
                                      HolderSet& into) {
  found = 0;
  const DecodedConfig decoded = DecodeConfigText(text);
  tree_.Clear();
  if (!decoded.ok()) return false;
  const uint8_t* root = decoded.root.data();
  tree_.ShowItemTree(root);
  found = StoreConfigRoot(into, root, requested);
  return true;
}

// --- Sending --------------------------------------------------------------------

bool ConfigFileEngine::SendNextConfigItem() {
  for (const ContentMask bit : SendingOrder()) {
    if ((pending_ & bit) == 0) continue;
    pending_ &= ~bit;
    const ConfigRecord& record = *FindConfigRecord(bit);
    const std::vector<uint8_t> request = ConfigRecordItem(loaded_, record);
    lastSent_ = record.childKey;
    const bool lineWasFree = !engine_.Waiting();
    // On a free line the request is in flight even when the link refused it:
    // the reply time-out then reports the failure, where "nothing left to
    // send" would report a configuration that never arrived as changed.
    return engine_.SendItem(request.data()) || lineWasFree;
  }
  // Signatures are never sent.
  pending_ = 0;
  recordCount_ = 0;
  return false;
}

std::optional<ChainProgress> ConfigFileEngine::Progress() const {
  if (recordCount_ == 0) return std::nullopt;
  return ChainProgress{recordCount_ - content::RecordCount(pending_), recordCount_, lastSent_};
}

std::optional<ChainRecords> ConfigFileEngine::Records() const {
  if (engine_.SequenceState() != SequenceState::kSendingConfiguration || recordCount_ == 0) return std::nullopt;
  ChainRecords chain;
  for (const ContentMask bit : SendingOrder()) {
    if ((loadMask_ & bit & content::kRecords) == 0) continue;
    const Key command = FindConfigRecord(bit)->childKey;
    if ((pending_ & bit) != 0)
      chain.notSent.push_back(command);
    else if (command == lastSent_)
      chain.inFlight = command;
    else
      chain.written.push_back(command);
  }
  return chain;
}

// --- User view ------------------------------------------------------------------

std::string ConfigFileEngine::RefusalOf(ContentMask found) {
  // The devices' own serials against the signatures the file carries.
  const uint16_t deviceSignature = SerialSignature(engine_.DeviceIden().At(DEVICE_IDEN_SERIAL));
  const uint16_t moduleSignature = SerialSignature(engine_.ModuleIden().At(MODULE_IDEN_SERIAL));
  if ((found & content::kControllerRecords) != 0) {
    if ((found & content::kDeviceSignature) == 0)
      return "File contains configuration data for QUVA controller,\rbut signature is missing !";
    if (loaded_.Holder(Group::kDeviceCheck, DEVICE_CHECK_VALUE)->GetAsInt() != deviceSignature)
      return "File contains configuration data for QUVA controller,\rbut signature does not match your device !";
  }
  const bool needsModule = (found & content::kNeedsModuleWithMemory) != 0;
  const bool needsVeltra = (found & content::kNeedsVeltraModule) != 0;
  if (!needsModule && !needsVeltra) return {};
  const int8_t moduleType = engine_.ModuleTypeSnapshot();
  if (moduleType < kModuleWithMemory)
    return "File contains configuration data for detection module,\rbut compatible module is not connected !";
  if (needsVeltra && moduleType != kVeltraModule)
    return "File contains configuration data for KAZ module,\rbut no KAZ module is connected !";
  if ((found & content::kModuleSignature) == 0)
    return "File contains configuration data for detection module,\rbut signature is missing !";
  if (loaded_.Holder(Group::kModuleCheck, MODULE_CHECK_VALUE)->GetAsInt() != moduleSignature)
    return "File contains configuration data for detection module,\rbut signature does not match connected module !";
  return {};
}

LoadOutcome ConfigFileEngine::LoadConfiguration() {
  const std::optional<std::string> fileName = engine_.Questions().AskOpenFileName(kConfigFileDialog);
  if (!fileName) return LoadOutcome::kNoFile;
  // The file's records go over a copy of the device's values: they are
  // judged as they would stand in the device, and whatever the checks decide
  // the holders keep what the device reported.
  CopyRecords(engine_, loaded_);
  recordCount_ = 0;
  ContentMask found = 0;
  if (!ReadConfigFile(*fileName, content::kEverything, found, loaded_) || found == 0) {
    engine_.Ask(kIntegrityError, mb::kIconStop);
    engine_.ReadAgain();
    engine_.Refresh();
    return LoadOutcome::kIntegrityError;
  }

  LoadOutcome outcome = LoadOutcome::kNothingToSend;
  if (const std::string refusal = RefusalOf(found); !refusal.empty()) {
    engine_.Ask(refusal, mb::kIconStop);
    outcome = LoadOutcome::kRefused;
  } else if (const std::vector<ValueViolation> violations =
                 CheckValues(found & content::kRecords, engine_.SupportedContent(), loaded_);
             !violations.empty()) {
    RefuseValues(engine_, violations);
    outcome = LoadOutcome::kRefused;
  } else if (engine_.Ask("Do you really want to send new configuration to your device(s) ?\r"
                         "Current settings will be overwritten.",
                         mb::kOkCancel | mb::kIconWarning) != kIdOk) {
    outcome = LoadOutcome::kCancelled;
  }
  if (outcome == LoadOutcome::kNothingToSend) {
    pending_ = found;
    loadMask_ = found;
    recordCount_ = content::RecordCount(found);
    if (SendNextConfigItem()) {
      engine_.StartSendingConfiguration();
      outcome = LoadOutcome::kSending;
    }
  } else {
    engine_.ReadAgain();
  }
  engine_.Refresh();
  return outcome;
}

bool ConfigFileEngine::SaveConfiguration() {
  const std::optional<std::string> fileName = engine_.Questions().AskSaveFileName(kConfigFileDialog);
  if (!fileName) return false;
  const ContentMask mask = engine_.SupportedContent();
  MakeDeviceSignature(engine_.DeviceCheck(), engine_.DeviceIden());
  if ((mask & content::kModuleSignature) != 0) MakeModuleSignature(engine_.ModuleCheck(), engine_.ModuleIden());
  const bool written = WriteConfigFile(*fileName, mask, engine_);
  engine_.Refresh();
  engine_.Ask(written ? kWritten : "Confiuration write failed !", written ? mb::kIconInformation : mb::kIconStop);
  return written;
}

// --- Configurator -----------------------------------------------------------------

bool ConfigFileEngine::SignatureFromFile(ContentMask bit, HolderSet& into) {
  const std::optional<std::string> fileName = engine_.Questions().AskOpenFileName(kConfigFileDialog);
  if (!fileName) return false;
  ContentMask found = 0;
  const bool read = ReadConfigFile(*fileName, bit, found, into);
  if (!read)
    engine_.Ask("Load error !", mb::kIconStop);
  else if ((found & bit) == 0)
    engine_.Ask("File signature not found !", mb::kIconStop);
  engine_.Refresh();
  return (found & bit) != 0;
}

bool ConfigFileEngine::ReadConfigurationFromFile(FileHolders& into, std::string* fileName) {
  const std::optional<std::string> name = engine_.Questions().AskOpenFileName(kConfigFileDialog);
  if (!name) return false;
  FileHolders file;
  CopyRecords(engine_, file);
  ContentMask found = 0;
  const bool read = ReadConfigFile(*name, content::kConfiguratorRead, found, file);
  if (read) {
    into = file;
    if (fileName != nullptr) *fileName = *name;
  }
  engine_.Ask(read ? "File loaded." : kIntegrityError, read ? mb::kIconInformation : mb::kIconStop);
  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorReadFile);
  return read;
}

bool ConfigFileEngine::WriteConfigurationToFile(ContentMask ticked, HolderSet& from) {
  // A file of nothing would be written and reported as made.
  if (ticked == 0) {
    engine_.Ask("No content selected for the file !", mb::kIconStop);
    return false;
  }
  const std::optional<std::string> fileName = engine_.Questions().AskSaveFileName(kConfigFileDialog);
  if (!fileName) return false;
  if (!WriteConfigFile(*fileName, ticked, from)) {
    engine_.Ask("Configuration write failed !", mb::kIconStop);
    return false;
  }
  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorReadFile);
  engine_.Ask(kWritten, mb::kIconInformation);
  return true;
}

}  // namespace frosk
