#pragma once

#include <QString>

#include "common/prompter.h"

class QWidget;

namespace frosk {

// The desktop program's answers to the engines' questions: message boxes and
// file dialogs with the caption "Frosk Manager", shown over whichever window
// is active, so a question asked while only the splash is up still shows.
class MessageBoxPrompter : public Prompter {
 public:
  int ShowMessageBox(const std::string& text, unsigned flags) override;
  std::optional<std::string> AskOpenFileName(const FileDialogRequest& request) override;
  std::optional<std::string> AskSaveFileName(const FileDialogRequest& request) override;
  std::optional<std::string> AskFolder(const std::string& current) override;
};

class ApplicationBeeper : public Beeper {
 public:
  void Beep() override;
};

// Opens web pages only: an address from a device or a server reply must never
// start a local program or open a local file.
class DesktopUrlOpener : public UrlOpener {
 public:
  void Open(const std::string& url) override;
};

// Message texts break lines with "\r".
QString MessageText(const std::string& text);
// "Description|*.ext|Other|*.a;*.b" as Qt's "Description (*.ext);;Other (*.a *.b)".
QString QtFileFilter(const std::string& filter);

}  // namespace frosk
