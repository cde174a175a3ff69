#pragma once

#include <string>

#include "common/prompter.h"

namespace frosk::cli {

// froskctl's message boxes. Information messages go to standard output, all
// others to standard error, with "\r" as a line break. A question is asked on
// the terminal when standard input is one; otherwise it is answered No (or
// Cancel), or Yes (or OK) under --yes.
class TerminalPrompter : public Prompter {
 public:
  explicit TerminalPrompter(bool answerYes) : answerYes_(answerYes) {}

  int ShowMessageBox(const std::string& text, unsigned flags) override;
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }

 private:
  bool answerYes_;
};

// froskctl has no speaker to sound; a lost request shows in what follows.
class SilentBeeper : public Beeper {
 public:
  void Beep() override {}
};

// Message-box text as froskctl writes it: "\r" becomes a line break.
std::string MessageText(const std::string& text);

}  // namespace frosk::cli
