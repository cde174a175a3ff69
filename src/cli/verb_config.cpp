// show, save and load: configuration files offline, and saved from and loaded
// into a device as the device window's buttons do.
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
class FileArgumentPrompter : public Prompter {
 public:
  FileArgumentPrompter(bool answerYes, std::string fileName, bool quietInformation)
      : terminal_(answerYes), fileName_(std::move(fileName)), quietInformation_(quietInformation) {}

  int ShowMessageBox(const std::string& text, unsigned flags) override {
    if (quietInformation_ && (flags & mb::kIconMask) == mb::kIconInformation) return kIdOk;
    return terminal_.ShowMessageBox(text, flags);
  }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return fileName_; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return fileName_; }

 private:
  TerminalPrompter terminal_;
  std::string fileName_;
  bool quietInformation_;
};

// save and load: a device session whose file dialogs answer FILE.
struct FileSession {
  FileSession(const Invocation& invocation, bool quietInformation)
      : prompter(invocation.Has("yes"), invocation.args[1], quietInformation),
        session(invocation.args[0], ProgramFolders(), WithPrompter(SessionOptions(invocation), prompter)) {}

  static DeviceSession::Options WithPrompter(DeviceSession::Options options, Prompter& prompter) {
    options.prompter = &prompter;
    return options;
  }

  FileArgumentPrompter prompter;
  DeviceSession session;
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
void PrintLoadProgress(const ConfigFileEngine& files, const uint8_t* item) {
  if (!IsConfigRecordCommand(ItemKey(item))) return;
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
  return files.session.ConfigFiles().SaveConfiguration() ? kExitDone : kExitFailed;
}

int RunLoad(const Invocation& invocation) {
  if (invocation.args.size() != 2) return UsageError("load takes a PORT and a FILE");
  FileSession files(invocation, false);
  DeviceSession& session = files.session;
  if (const int result = ReadDevice(session); result != kExitDone) return result;

  session.SetSentListener([&session](const uint8_t* item) { PrintLoadProgress(session.ConfigFiles(), item); });
  switch (session.ConfigFiles().LoadConfiguration()) {
    case LoadOutcome::kIntegrityError: return kExitUsage;
    case LoadOutcome::kRefused:
    case LoadOutcome::kCancelled:
    case LoadOutcome::kNoFile: return kExitFailed;
    case LoadOutcome::kNothingToSend: return kExitDone;
    case LoadOutcome::kSending: break;
  }
  // The chain ends when state 48 is left: after its last reply, which starts
  // the re-read that is not waited for, or after a time-out.
  DeviceEngine& engine = session.Engine();
  const uint32_t timeouts = engine.Timeouts();
  engine.AddRefreshListener([&](GroupMask) {
    if (engine.SequenceState() == SequenceState::kSendingConfiguration) return;
    session.Stop(engine.Timeouts() != timeouts ? kExitFailed : kExitDone);
  });
  return session.RunUntilStopped();
}

}  // namespace frosk::cli
