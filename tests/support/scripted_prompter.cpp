#include "support/scripted_prompter.h"

namespace frosk::test {

int ScriptedPrompter::ShowMessageBox(const std::string& text, unsigned flags) {
  shown.push_back({text, flags});
  if (whileOpen) whileOpen();
  if (!answers.empty()) {
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (flags & mb::kButtonMask) == mb::kYesNo ? kIdNo : kIdOk;
}

std::optional<std::string> ScriptedPrompter::AnswerFile(const FileDialogRequest& request) {
  fileDialogs.push_back(request);
  if (fileNames.empty()) return std::nullopt;
  std::string fileName = std::move(fileNames.front());
  fileNames.pop_front();
  return fileName;
}

std::optional<std::string> ScriptedPrompter::AskFolder(const std::string& current) {
  folderDialogs.push_back(current);
  if (folders.empty()) return std::nullopt;
  std::string folder = std::move(folders.front());
  folders.pop_front();
  return folder;
}

}  // namespace frosk::test
