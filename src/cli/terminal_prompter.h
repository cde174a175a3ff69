#pragma once

#include <string>

#include "common/prompter.h"

namespace frosk::cli {

// froskctl's message boxes. Information messages go to standard output, all
// others to standard error, with "\r" as a line break. A question is asked on
// the terminal when standard input is one; otherwise it is answered No (or
// Cancel), or Yes (or OK) under --yes. --yes answers only the verb's own
// question: a question whose Yes leaves the device is never answered by it.
class TerminalPrompter : public Prompter {
 public:
  // Whether a question may wait for the terminal: never while one process
  // watches many devices, since the wait would stop them all.
  enum class Asking { kOnTerminal, kNever };

  explicit TerminalPrompter(bool answerYes, Asking asking = Asking::kOnTerminal)
      : answerYes_(answerYes), asking_(asking) {}

  int ShowMessageBox(const std::string& text, unsigned flags) override;
  // Always No: froskctl programs firmware only when told to by flash. Names
  // what it declined and the flash command that would do it.
  int AskToProgramFirmware(const std::string& text, unsigned flags, const FirmwareOffer& offer) override;
  // Asked on the terminal as any question, else No, --yes or not: a Yes
  // would only end the run to look for a newer program.
  int AskToCheckForUpdates(const std::string& text, unsigned flags) override;
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }

 private:
  int Ask(const std::string& text, unsigned flags, bool answerYes);

  bool answerYes_;
  Asking asking_;
};

// froskctl has no speaker to sound; a lost request shows in what follows.
class SilentBeeper : public Beeper {
 public:
  void Beep() override {}
};

// Message-box text as froskctl writes it: "\r" becomes a line break.
std::string MessageText(const std::string& text);

// The line froskctl writes for a firmware update it declined.
std::string DeclinedUpdateLine(const FirmwareOffer& offer);

}  // namespace frosk::cli
