#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/discovery_engine.h"
#include "firmware/firmware_dialogs.h"
#include "sim/pseudo_terminal.h"
#include "support/counted_window.h"
#include "support/scripted_prompter.h"

namespace frosk::test {

// A controller played by the test on a pseudo-terminal. It answers the
// identification request at once, never, or when the test says so.
class FakeController {
 public:
  enum class Answer { kAtOnce, kNever, kWhenTold, kGarbage };

  FakeController(std::string name, uint32_t serialNumber, Answer answer = Answer::kAtOnce);

  const std::string& Port() const { return pty_->ClientPath(); }
  // What the device reports of itself: a QUVA controller with the firmware
  // version the firmware folders of the tests ship, unless a test says otherwise.
  void SetIden(uint16_t type, uint16_t firmware) {
    type_ = type;
    firmware_ = firmware;
  }
  const std::string& Name() const { return name_; }
  // Reads what reached the device; answers a probe if it should. True when
  // it answered just now.
  bool Service();
  int ProbesSeen() const { return probes_; }
  // How many bare requests of `key` reached the device so far (as read by Service).
  int RequestsSeen(Key key) const;
  // Writes raw text on the line, as the device would.
  void Send(const std::string& text);
  // The identification reply frame.
  std::string IdenFrame() const;

 private:
  std::string Garbage() const;

  std::unique_ptr<PseudoTerminal> pty_;
  std::string name_;
  uint32_t serialNumber_;
  Answer answer_;
  uint16_t type_ = 1;
  uint16_t firmware_ = 12;
  std::string received_;
  std::string heard_;  // everything ever read
  int probes_ = 0;
};

// A frame around any bytes, valid or not as an item, with a correct check value.
std::string FrameOfBytes(const std::vector<uint8_t>& bytes);

// Firmware dialogs that record what they are asked and answer from a script.
class ScriptedFirmwareDialogs : public FirmwareDialogs {
 public:
  struct Job {
    int target;
    std::string portName;
    std::string file;
    bool operator==(const Job&) const = default;
    friend void PrintTo(const Job& job, std::ostream* out) {
      *out << "{" << job.target << ", \"" << job.portName << "\", \"" << job.file << "\"}";
    }
  };
  std::vector<bool> targetDialogs;     // the service list flag of each opening
  std::optional<TargetChoice> choice;  // every target dialog's answer; none: cancelled
  std::vector<Job> jobs;
  std::function<void()> whileOpen;  // what happens while a dialog is up (its event loop ticks the engine)

  std::optional<TargetChoice> RunTargetDialog(bool serviceList) override {
    targetDialogs.push_back(serviceList);
    if (whileOpen) whileOpen();
    return choice;
  }
  void RunProgrammingDialog(int target, const std::string& portName, const std::string& file) override {
    jobs.push_back({target, portName, file});
    if (whileOpen) whileOpen();
  }
};

class RecordingUrlOpener : public UrlOpener {
 public:
  std::vector<std::string> opened;
  void Open(const std::string& url) override { opened.push_back(url); }
};

// The real links, counted, with a system port list the test sets.
class WatchedLinks : public LinkLayer {
 public:
  std::vector<std::string> systemPorts;
  std::vector<std::string> opened;  // every port an open was tried on
  int openNow = 0;

  int Open(Link** link, const PortSettings& settings, FrameSink sink) override;
  int Close(Link** link) override;
  int EnumeratePorts(std::vector<std::string>* list) override;
};

}  // namespace frosk::test
