// show, save and load: configuration files offline, and saved from and loaded
// into a device as the device window's buttons do.
#include <bit>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/cli.h"
#include "cli/device_session.h"
#include "cli/device_verbs.h"
#include "cli/terminal_prompter.h"
#include "cli/verbs.h"
#include "device/config_file.h"
#include "device/config_file_engine.h"

namespace frosk::cli {

namespace {

// The terminal's questions, with the file dialogs answered by the file named
// on the command line. Information messages may be kept quiet, for a verb
// that is silent on success.
class FileArgumentPrompter : public TerminalPrompter {
 public:
  FileArgumentPrompter(bool answerYes, std::string fileName, bool quietInformation)
      : TerminalPrompter(answerYes), fileName_(std::move(fileName)), quietInformation_(quietInformation) {}

  int ShowMessageBox(const std::string& text, unsigned flags) override {
    if (quietInformation_ && (flags & mb::kIconMask) == mb::kIconInformation) return kIdOk;
    return TerminalPrompter::ShowMessageBox(text, flags);
  }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return fileName_; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return fileName_; }

 private:
  std::string fileName_;
  bool quietInformation_;
};

// save and load: a device session whose file dialogs answer FILE.
struct FileSession {
  FileSession(const Invocation& invocation, bool quietInformation)
      : prompter(invocation.Has("yes"), invocation.args[1], quietInformation),
        session(invocation.args[0], ProgramFolders(), WithPrompter(SessionOptions(invocation, interrupts), prompter)) {}

  static DeviceSession::Options WithPrompter(DeviceSession::Options options, Prompter& prompter) {
    options.prompter = &prompter;
    return options;
  }

  Interrupts interrupts;
  FileArgumentPrompter prompter;
  DeviceSession session;
};

// Sends a loaded file's records one per reply until Ctrl+C. Then the chain
// ends at the reply to the record on its way, so the device holds each
// record whole, and the rest stays unsent.
class InterruptibleSender : public ConfigSender {
 public:
  explicit InterruptibleSender(DeviceSession& session) : session_(session) { session_.Engine().SetConfigSender(this); }
  ~InterruptibleSender() override { session_.Engine().SetConfigSender(&session_.ConfigFiles()); }
  InterruptibleSender(const InterruptibleSender&) = delete;
  InterruptibleSender& operator=(const InterruptibleSender&) = delete;

  bool SendNextConfigItem() override {
    if (session_.Interrupted() == 0) return session_.ConfigFiles().SendNextConfigItem();
    // Ended here rather than reported as "nothing left", which would tell
    // the user the whole configuration was changed.
    session_.Engine().Break();
    return true;
  }
  std::optional<ChainRecords> Records() const override { return session_.ConfigFiles().Records(); }

 private:
  DeviceSession& session_;
};

std::string Hex8(ContentMask mask) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", mask);
  return text;
}

bool IsConfigRecordCommand(Key key) {
  for (const ConfigRecord& record : ConfigRecords())
    if (record.Wrapped() && record.childKey == key) return true;
  return false;
}

// A load's record as it goes out, with how far the load has come:
// "record 3 of 11: SET_MODULE_IDEN".
void PrintLoadProgress(const ConfigFileEngine& files) {
  if (const std::optional<ChainProgress> progress = files.Progress())
    std::cout << ProgressText(*progress) << "\n" << std::flush;
}

}  // namespace

int RunShow(const Invocation& invocation) {
  if (invocation.args.size() != 1) return UsageError("show takes one FILE");
  const std::string& fileName = invocation.args[0];
  std::string why;
  const std::optional<std::string> text = ReadConfigFileText(fileName, &why);
  if (!text) return UsageError(fileName + ": " + why);
  const DecodedConfig decoded = DecodeConfigText(*text);
  if (!decoded.ok()) return UsageError(fileName + ": " + DescribeFrameFailure(decoded.result, kConfigTreeCapacity));
  const uint8_t* root = decoded.root.data();
  PrintItemTree(root);
  const ContentMask found = WalkConfigRoot(root, content::kEverything, [](const ConfigRecord&, const uint8_t*) {});
  std::cout << "mask=0x" << Hex8(found) << "\n";
  return kExitDone;
}

int RunSave(const Invocation& invocation) {
  if (invocation.args.size() != 2) return UsageError("save takes a PORT and a FILE");
  FileSession files(invocation, true);
  if (const int result = ReadDevice(files.session); result != kExitDone) return result;
  // The file is replaced in one step: a Ctrl+C that came before it leaves the earlier file.
  if (const int signal = files.session.Interrupted(); signal != 0) return InterruptedExit(signal, "no file written");
  return files.session.ConfigFiles().SaveConfiguration() ? kExitDone : kExitFailed;
}

int RunLoad(const Invocation& invocation) {
  if (invocation.args.size() != 2) return UsageError("load takes a PORT and a FILE");
  FileSession files(invocation, false);
  DeviceSession& session = files.session;
  if (const int result = ReadDevice(session); result != kExitDone) return result;

  if (const int signal = session.Interrupted(); signal != 0) return InterruptedExit(signal, "nothing sent");
  int sent = 0;
  session.SetSentListener([&session, &sent](const uint8_t* item) {
    if (!IsConfigRecordCommand(ItemKey(item))) return;
    ++sent;
    PrintLoadProgress(session.ConfigFiles());
  });
  InterruptibleSender sender(session);
  const LoadOutcome outcome = session.ConfigFiles().LoadConfiguration();
  // Ctrl+C at the question on the terminal answers it Cancel.
  if (const int signal = session.Interrupted(); signal != 0 && outcome != LoadOutcome::kSending)
    return InterruptedExit(signal, "nothing sent");
  switch (outcome) {
    case LoadOutcome::kIntegrityError: return kExitUsage;
    case LoadOutcome::kRefused:
    case LoadOutcome::kCancelled:
    case LoadOutcome::kNoFile: return kExitFailed;
    case LoadOutcome::kNothingToSend: return kExitDone;
    case LoadOutcome::kSending: break;
  }
  // The chain ends when state 48 is left: after its last reply, which starts
  // the re-read that is not waited for, or after Ctrl+C. After a time-out it
  // ends once the device was told to leave service mode and its answer, or
  // the lack of one, was told.
  DeviceEngine& engine = session.Engine();
  const uint32_t timeouts = engine.Timeouts();
  engine.AddRefreshListener([&](GroupMask) {
    const SequenceState state = engine.SequenceState();
    if (state == SequenceState::kSendingConfiguration || state == SequenceState::kLeaveServiceModeAfterTimeout ||
        engine.QuestionHeld())
      return;
    session.Stop(engine.Timeouts() != timeouts ? kExitFailed : kExitDone);
  });
  const int result = session.Run(DeviceSession::OnInterrupt::kFinishInFlight);
  const int signal = session.Interrupted();
  if (signal == 0 || result != kExitDone) return result;
  const int unsent = content::RecordCount(session.ConfigFiles().PendingMask());
  return InterruptedExit(
      signal, std::to_string(sent) + " of " + std::to_string(sent + unsent) + " records written, the others not sent");
}

}  // namespace frosk::cli
