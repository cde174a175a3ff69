#include "cli/terminal_prompter.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <iostream>

#include "cli/cli.h"
#include "common/signal_notifier.h"

namespace frosk::cli {

namespace {

// A line typed on the terminal; none at its end, or when Ctrl+C comes first:
// the question is then answered No and the run ends as the signal says.
std::optional<std::string> ReadAnswer() {
  if (std::cin.rdbuf()->in_avail() <= 0) {
    pollfd watched[] = {{STDIN_FILENO, POLLIN, 0}, {SignalNotifier::Descriptor(), POLLIN, 0}};
    while (SignalNotifier::FirstCaught() == 0 && watched[0].revents == 0) {
      if (poll(watched, 2, -1) < 0 && errno != EINTR) return std::nullopt;
      if (watched[1].revents != 0) break;
    }
    if (SignalNotifier::FirstCaught() != 0) {
      // What follows starts on a line of its own, not behind the prompt.
      std::cerr << "\n";
      return std::nullopt;
    }
  }
  std::string answer;
  if (!std::getline(std::cin, answer)) return std::nullopt;
  return answer;
}

}  // namespace

std::string MessageText(const std::string& text) {
  std::string lines = text;
  for (char& c : lines)
    if (c == '\r') c = '\n';
  return lines;
}

std::string DeclinedUpdateLine(const FirmwareOffer& offer) {
  const std::string available =
      offer.available ? "has version " + std::to_string(*offer.available) : "has no readable version";
  return offer.portName + ": answered No: " + offer.device + " runs firmware version " + std::to_string(offer.running) +
         " and the firmware folder " + available + "; to update it: froskctl flash " + std::to_string(offer.target) +
         " --port " + ShellWord(offer.portName);
}

int TerminalPrompter::ShowMessageBox(const std::string& text, unsigned flags) { return Ask(text, flags, answerYes_); }

int TerminalPrompter::AskToProgramFirmware(const std::string& text, unsigned, const FirmwareOffer& offer) {
  std::cerr << MessageText(text) << "\n" << DeclinedUpdateLine(offer) << "\n" << std::flush;
  return kIdNo;
}

int TerminalPrompter::AskToCheckForUpdates(const std::string& text, unsigned flags) { return Ask(text, flags, false); }

int TerminalPrompter::Ask(const std::string& text, unsigned flags, bool answerYes) {
  const bool information = (flags & mb::kIconMask) == mb::kIconInformation;
  std::ostream& out = information ? std::cout : std::cerr;
  out << MessageText(text) << "\n" << std::flush;

  const unsigned buttons = flags & mb::kButtonMask;
  if (buttons != mb::kYesNo && buttons != mb::kOkCancel) return kIdOk;
  const int yes = buttons == mb::kYesNo ? kIdYes : kIdOk;
  const int no = buttons == mb::kYesNo ? kIdNo : kIdCancel;
  if (answerYes) return yes;
  if (asking_ == Asking::kNever || isatty(STDIN_FILENO) == 0) return no;
  std::cerr << (buttons == mb::kYesNo ? "[y/N] " : "[o(k)/C(ancel)] ") << std::flush;
  const std::optional<std::string> answer = ReadAnswer();
  if (!answer || answer->empty()) return no;
  const char first = static_cast<char>(std::tolower(static_cast<unsigned char>((*answer)[0])));
  return first == (buttons == mb::kYesNo ? 'y' : 'o') ? yes : no;
}

}  // namespace frosk::cli
