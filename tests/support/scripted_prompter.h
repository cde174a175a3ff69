#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/prompter.h"

namespace frosk::test {

// Records every message box and answers from a script; without a scripted
// answer, No for a question and OK otherwise.
class ScriptedPrompter : public Prompter {
 public:
  struct Shown {
    std::string text;
    unsigned flags;
    bool operator==(const Shown&) const = default;
  };
  std::vector<Shown> shown;
  std::deque<int> answers;
  // Runs while a message box is open, as the box's own event loop would.
  std::function<void()> whileOpen;

  int ShowMessageBox(const std::string& text, unsigned flags) override;
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
};

}  // namespace frosk::test
