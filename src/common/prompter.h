#pragma once

#include <optional>
#include <string>

namespace frosk {

// Message-box flags as the system's messages name them: one button set plus one icon.
namespace mb {
inline constexpr unsigned kOk = 0x00;
inline constexpr unsigned kOkCancel = 0x01;
inline constexpr unsigned kYesNo = 0x04;
inline constexpr unsigned kIconStop = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kButtonMask = 0x0F;
inline constexpr unsigned kIconMask = 0xF0;
}  // namespace mb

// The buttons a modal dialog can end with.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

struct FileDialogRequest {
  std::string filter;            // "Frosk Configuration Files|*.froskconfig"
  std::string defaultExtension;  // ".froskconfig"
  bool operator==(const FileDialogRequest&) const = default;
};

// What a Yes to a firmware update question would program: a face that may
// not consent on the user's behalf says what it declined, and how to do it.
struct FirmwareOffer {
  std::string device;            // "detection module 000412-25"
  std::string portName;          // the device's port
  int running = 0;               // the firmware version the device reports
  std::optional<int> available;  // the firmware folder's version; none when its info file is unreadable
  int target = 0;                // the programming target a Yes starts
};

// Every modal question an engine asks goes through here, so engines run the
// same in the desktop program, in froskctl and under a test's scripted answers.
// A "\r" in a text is a line break.
class Prompter {
 public:
  virtual ~Prompter() = default;
  // Returns kIdOk, kIdCancel, kIdYes or kIdNo.
  virtual int ShowMessageBox(const std::string& text, unsigned flags) = 0;
  // Questions whose Yes leaves the device: to program its firmware, or to
  // look for a newer program. A box like any other on the desktop; froskctl
  // never lets its --yes answer them.
  virtual int AskToProgramFirmware(const std::string& text, unsigned flags, const FirmwareOffer&) {
    return ShowMessageBox(text, flags);
  }
  virtual int AskToCheckForUpdates(const std::string& text, unsigned flags) { return ShowMessageBox(text, flags); }
  // nullopt when the user cancels. The open dialog accepts only an existing file;
  // the save dialog asks before replacing one.
  virtual std::optional<std::string> AskOpenFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> AskSaveFileName(const FileDialogRequest& request) = 0;
  // A folder, starting at `current`; nullopt when the user cancels. Faces that
  // never choose folders (froskctl) keep this answer: cancelled.
  virtual std::optional<std::string> AskFolder(const std::string& current) {
    (void)current;
    return std::nullopt;
  }
};

class Beeper {
 public:
  virtual ~Beeper() = default;
  virtual void Beep() = 0;
};

class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  virtual void Open(const std::string& url) = 0;
};

}  // namespace frosk
