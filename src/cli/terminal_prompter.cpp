#include "cli/terminal_prompter.h"

#include <unistd.h>

#include <cctype>
#include <iostream>

namespace frosk::cli {

std::string MessageText(const std::string& text) {
  std::string lines = text;
  for (char& c : lines)
    if (c == '\r') c = '\n';
  return lines;
}

int TerminalPrompter::ShowMessageBox(const std::string& text, unsigned flags) {
  const bool information = (flags & mb::kIconMask) == mb::kIconInformation;
  std::ostream& out = information ? std::cout : std::cerr;
  out << MessageText(text) << "\n" << std::flush;

  const unsigned buttons = flags & mb::kButtonMask;
  if (buttons != mb::kYesNo && buttons != mb::kOkCancel) return kIdOk;
  const int yes = buttons == mb::kYesNo ? kIdYes : kIdOk;
  const int no = buttons == mb::kYesNo ? kIdNo : kIdCancel;
  if (answerYes_) return yes;
  if (isatty(STDIN_FILENO) == 0) return no;
  std::cerr << (buttons == mb::kYesNo ? "[y/N] " : "[o(k)/C(ancel)] ") << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer) || answer.empty()) return no;
  const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(answer[0])));
  return first == (buttons == mb::kYesNo ? 'y' : 'o') ? yes : no;
}

}  // namespace frosk::cli
