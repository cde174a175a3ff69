#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/prompter.h"

namespace frosk::test {

// Records every message box and file dialog and answers from a script;
// without a scripted answer, No for a question, OK otherwise, and Cancel for a
// file dialog.
class ScriptedPrompter : public Prompter {
 public:
  struct Shown {
    std::string text;
    unsigned flags;
    bool operator==(const Shown&) const = default;
    friend void PrintTo(const Shown& shown, std::ostream* out) {
      *out << "{\"" << shown.text << "\", 0x" << std::hex << shown.flags << std::dec << "}";
    }
  };
  std::vector<Shown> shown;
  std::deque<int> answers;
  // Runs while a message box is open, as the box's own event loop would.
  std::function<void()> whileOpen;

  // The file dialogs' answers in turn, open and save alike; cancelled when none is left.
  std::deque<std::string> fileNames;
  // Every file dialog asked for, open and save alike.
  std::vector<FileDialogRequest> fileDialogs;

  int ShowMessageBox(const std::string& text, unsigned flags) override;
  std::optional<std::string> AskOpenFileName(const FileDialogRequest& request) override { return AnswerFile(request); }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest& request) override { return AnswerFile(request); }

  // The folder dialog's answers in turn; cancelled when none is left.
  std::deque<std::string> folders;
  // Where each folder dialog started.
  std::vector<std::string> folderDialogs;
  std::optional<std::string> AskFolder(const std::string& current) override;

 private:
  std::optional<std::string> AnswerFile(const FileDialogRequest& request);
};

}  // namespace frosk::test
