#include "sim/bootloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace frosk::sim {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

// What avrdude's avr109 programmer sends for a one-page upload with erase and
// verify, as observed on a pseudo-terminal, with the answers it expects.
struct Exchange {
  std::string command;
  std::string reply;
};

std::vector<Exchange> Session(const std::string& page) {
  return {
      {"\x1B", ""},
      {"S", "AVRBOOT"},
      {"V", "12"},
      {"v", "?"},
      {"p", "S"},
      {"a", "Y"},
      {"b", Bytes({'Y', 1, 0})},
      {"t", Bytes({0x7B, 0})},
      {Bytes({'T', 0x7B}), "\r"},
      {"P", "\r"},
      {"s", Bytes({0x46, 0x97, 0x1E})},
      {"e", "\r"},
      {Bytes({'A', 0x00, 0x80}), "\r"},
      {"B" + Bytes({1, 0, 'F'}) + page, "\r"},
      {Bytes({'A', 0x00, 0x80}), "\r"},
      {Bytes({'g', 1, 0, 'F'}), page},
      {"L", "\r"},
      {"E", "\r"},
  };
}

std::string Page() {
  std::string page(256, '\0');
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<char>(i * 7 + 3);
  return page;
}

std::string Feed(Bootloader& bootloader, const std::string& bytes) {
  std::string reply;
  bootloader.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), reply);
  return reply;
}

TEST(BootloaderTest, AnswersAProgrammingSessionStepByStep) {
  Bootloader bootloader(*FindBootloaderPart("x128a4u"));
  for (const Exchange& exchange : Session(Page())) {
    EXPECT_EQ(Feed(bootloader, exchange.command), exchange.reply) << exchange.command[0];
  }
  EXPECT_EQ(std::string(bootloader.Flash().begin() + 0x100, bootloader.Flash().begin() + 0x200), Page());
  EXPECT_EQ(bootloader.Flash()[0], 0xFF);
}

TEST(BootloaderTest, CommandsSplitAnywhereOnTheLineGiveTheSameAnswers) {
  std::string line, expected;
  for (const Exchange& exchange : Session(Page())) {
    line += exchange.command;
    expected += exchange.reply;
  }
  for (size_t piece : {1, 3, 7, 64}) {
    Bootloader bootloader(*FindBootloaderPart("x128a4u"));
    std::string replies;
    for (size_t at = 0; at < line.size(); at += piece) replies += Feed(bootloader, line.substr(at, piece));
    EXPECT_EQ(replies, expected) << piece;
  }
}

TEST(BootloaderTest, EachPartHasItsSignature) {
  Bootloader small(*FindBootloaderPart("x32a4"));
  EXPECT_EQ(Feed(small, "s"), Bytes({0x41, 0x95, 0x1E}));
  EXPECT_EQ(small.Flash().size(), 0x9000u);
  EXPECT_EQ(FindBootloaderPart("atmega328p"), nullptr);
  EXPECT_EQ(BootloaderPartNames(), "x128a4u|x32a4");
}

TEST(BootloaderTest, RefusesWhatItCannotDo) {
  Bootloader bootloader(*FindBootloaderPart("x32a4"));
  const std::string page = Page();
  struct Case {
    const char* what;
    std::string command;
    std::string reply;
  } cases[] = {
      {"unknown command", "Z", "?"},
      {"unknown memory", Bytes({'A', 0, 0, 'B', 0, 2, 'X', 1, 2}), "\r?"},
      {"block above the page size", Bytes({'A', 0, 0, 'g', 2, 0, 'F'}), "\r?"},
      {"write past the end", Bytes({'A', 0x48, 0x00, 'B', 1, 0, 'F'}) + page, "\r?"},
      {"read past the end", Bytes({'H', 0x00, 0x48, 0x00, 'g', 1, 0, 'F'}), "\r?"},
  };
  for (const Case& c : cases) EXPECT_EQ(Feed(bootloader, c.command), c.reply) << c.what;
  EXPECT_EQ(std::count(bootloader.Flash().begin(), bootloader.Flash().end(), 0xFF),
            static_cast<long>(bootloader.Flash().size()));
}

TEST(BootloaderTest, CorruptReadBackChangesWhatIsReadNotWhatIsStored) {
  Bootloader bootloader(*FindBootloaderPart("x128a4u"), {.corruptReadBack = true});
  const std::string page = Page();
  Feed(bootloader, Bytes({'A', 0, 0, 'B', 1, 0, 'F'}) + page);
  const std::string back = Feed(bootloader, Bytes({'A', 0, 0, 'g', 1, 0, 'F'}));
  ASSERT_EQ(back.size(), 1 + page.size());
  EXPECT_NE(back.substr(1, 1), page.substr(0, 1));
  EXPECT_EQ(back.substr(2), page.substr(1));
  EXPECT_EQ(bootloader.Flash()[0], static_cast<uint8_t>(page[0]));
}

}  // namespace
}  // namespace frosk::sim
