// Any bytes as a configuration file's content: read it as the device window
// reads a file, with every record and signature asked for, into a device
// engine's holders and the tree view's model.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/prompter.h"
#include "common/tick_clock.h"
#include "device/config_file.h"
#include "device/config_file_engine.h"

using namespace frosk;

namespace {

// Reading a file sends nothing and asks nothing.
class NoHost : public DeviceHost {
 public:
  bool SendToDevice(DeviceEngine&, const uint8_t*) override { __builtin_trap(); }
  bool IsDeviceLinked(const DeviceEngine&) const override { return false; }
  void RequestClose(DeviceEngine&, CloseAction) override { __builtin_trap(); }
  bool ServiceModeSetting() const override { return false; }
  void WriteLog(const std::string&) override {}
};

class NoPrompter : public Prompter, public Beeper {
 public:
  int ShowMessageBox(const std::string&, unsigned) override { __builtin_trap(); }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { __builtin_trap(); }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { __builtin_trap(); }
  void Beep() override { __builtin_trap(); }
};

struct Window {
  NoHost host;
  ManualTickClock clock;
  NoPrompter prompter;
  Folders folders;
  DeviceEngine engine{host, DeviceSeams{clock, prompter, prompter, folders}};
  ConfigFileEngine files{engine};
};

void Read(Window& window, std::string_view text) {
  ContentMask found = 0x5A5A5A5A;
  const bool read = window.files.ReadConfigText(text, content::kEverything, found, window.engine);
  const ItemTree& tree = window.files.ConfigFileTree();
  if (!read && (found != 0 || tree.NodeCount() != 0)) __builtin_trap();
  if (read && (tree.TopLevel().size() != 1 || (found & ~(content::kRecords | content::kSignatures)) != 0))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Window window;
  std::string text(reinterpret_cast<const char*>(data), size);
  Read(window, text);
  // Mutations almost never keep the check value right; read the same bytes
  // again with it mended, so the trees behind the check are explored too.
  const DecodedConfig decoded = DecodeConfigText(text);
  if (decoded.result.status != FrameStatus::kBadCheck) return 0;
  static constexpr char kHex[] = "0123456789ABCDEF";
  const uint16_t crc = decoded.result.computedCrc;
  const std::string_view frame = ConfigFrameText(text);
  const size_t at = static_cast<size_t>(frame.data() - text.data()) + 1 + 2 * decoded.result.itemLength;
  for (int i = 0; i < 4; ++i) text[at + i] = kHex[(crc >> (12 - 4 * i)) & 15];
  Read(window, text);
  return 0;
}
