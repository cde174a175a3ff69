#include "updates/update_reply.h"

#include <gtest/gtest.h>

#include "updates/update_check.h"

namespace frosk {
namespace {

constexpr const char* kOkHeaders = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";

TEST(UpdateReplyTest, RequestIsExactlyTheseBytes) {
  EXPECT_EQ(UpdateRequestText("updates.example", 80),
            "GET /check_for_updates.php HTTP/1.1\r\n"
            "Host: updates.example\r\n"
            "Connection: close\r\n"
            "User-Agent: DrovUpdateChecker/1.0\r\n"
            "\r\n");
  EXPECT_NE(UpdateRequestText("127.0.0.1", 8080).find("\r\nHost: 127.0.0.1:8080\r\n"), std::string::npos);
  EXPECT_NE(UpdateRequestText("::1", 8080).find("\r\nHost: [::1]:8080\r\n"), std::string::npos);
}

TEST(UpdateReplyTest, ParsesTheSectionOfAReplyThatPasses) {
  struct Case {
    const char* name;
    std::string reply;
    int32_t build;
  } cases[] = {
      {"build 63", std::string(kOkHeaders) + "[FroskManager]\r\nBuild=63\r\n", 63},
      {"build 64", std::string(kOkHeaders) + "[FroskManager]\r\nBuild=64\r\n", 64},
      {"build not a number", std::string(kOkHeaders) + "[FroskManager]\r\nBuild=64a\r\n", 0},
      {"build missing", std::string(kOkHeaders) + "[FroskManager]\r\nVersion=1.2\r\n", 0},
      {"build beyond 32 bits", std::string(kOkHeaders) + "[FroskManager]\r\nBuild=4294967360\r\n", 0},
      {"section in lower case", std::string(kOkHeaders) + "[froskmanager]\r\nbuild=64\r\n", 64},
      {"a second section", std::string(kOkHeaders) + "[FroskManager]\r\nBuild=63\r\n[Other]\r\nBuild=99\r\n", 63},
      {"the key repeated", std::string(kOkHeaders) + "[FroskManager]\r\nBuild=70\r\nBuild=10\r\n", 70},
      {"lines before the section", std::string(kOkHeaders) + "Build=99\r\n[FroskManager]\r\nBuild=65\r\n", 65},
      {"bare line feeds", "HTTP/1.1 200 OK\n\n[FroskManager]\nBuild=66\n", 66},
      {"bare carriage returns", "HTTP/1.1 200 OK\r\r[FroskManager]\rBuild=67", 67},
  };
  for (const Case& c : cases) {
    UpdateInfo info;
    EXPECT_TRUE(ParseUpdateReply(c.reply, info)) << c.name;
    EXPECT_EQ(info.build, c.build) << c.name;
  }
}

TEST(UpdateReplyTest, RejectsRepliesThatMissAPieceAndLeavesTheInfoAlone) {
  struct Case {
    const char* name;
    std::string reply;
  } cases[] = {
      {"status 404", "HTTP/1.1 404 Not Found\r\n\r\n[FroskManager]\r\nBuild=70\r\n"},
      {"status line ending after the code", "HTTP/1.1 200\r\n\r\n[FroskManager]\r\nBuild=70\r\n"},
      {"no header end", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"},
      {"nothing after the header end", "HTTP/1.1 200 OK\r\n\r\n"},
      {"no section", std::string(kOkHeaders) + "[Other]\r\nBuild=70\r\n"},
      {"section only in the headers", "HTTP/1.1 200 OK\r\n[FroskManager]\r\n\r\nBuild=70\r\n"},
      {"empty", ""},
      {"junk", std::string("\0\xff$#[\r\n\r\n", 9)},
  };
  for (const Case& c : cases) {
    UpdateInfo info;
    info.version = "kept";
    info.build = 5;
    EXPECT_FALSE(ParseUpdateReply(c.reply, info)) << c.name;
    EXPECT_EQ(info.version, "kept") << c.name;
    EXPECT_EQ(info.build, 5) << c.name;
  }
}

TEST(UpdateReplyTest, KeepsValuesUntrimmedAndCutsThemToTheirRecordSizes) {
  const std::string page = "http://example.invalid/" + std::string(2000, 'p');
  const std::string reply = std::string(kOkHeaders) +
                            "[FroskManager]\r\nversion= 1.2.0-release-candidate\r\nInstaller=setup.exe \r\n"
                            "InfoPage=" +
                            page + "\r\nNoValueHere\r\n";
  UpdateInfo info;
  ASSERT_TRUE(ParseUpdateReply(reply, info));
  EXPECT_EQ(info.version, " 1.2.0-release-");
  EXPECT_EQ(info.installer, "setup.exe ");
  EXPECT_EQ(info.infoPage, page.substr(0, 1023));
}

TEST(UpdateReplyTest, CompleteOnceTheContentLengthHasArrived) {
  struct Case {
    std::string reply;
    bool complete;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nabcde", true},
      {"HTTP/1.1 200 OK\r\ncontent-length:5 \r\n\r\nabcdefg", true},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nabcd", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", true},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", false},
      {"HTTP/1.1 200 OK\r\n\r\nabcde", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: lots\r\n\r\nabc", false},
  };
  for (const Case& c : cases) EXPECT_EQ(UpdateReplyComplete(c.reply), c.complete) << c.reply;
}

TEST(UpdateReplyTest, OnlyWebAddressesMayBeOpened) {
  for (const char* page : {"http://example.invalid/", "HTTPS://example.invalid/new"})
    EXPECT_TRUE(IsWebAddress(page)) << page;
  for (const char* page : {"", "http:/x", "file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "https"})
    EXPECT_FALSE(IsWebAddress(page)) << page;
}

TEST(UpdateServerTest, TakesAHostWithAnOptionalPort) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"127.0.0.1:8080", true, "127.0.0.1", 8080},
      {"updates.example", true, "updates.example", 80},
      {"[::1]:81", true, "::1", 81},
      {"[::1]", true, "::1", 80},
      {"host:", false, "", 0},
      {"host:0", false, "", 0},
      {"host:65536", false, "", 0},
      {"host:8o", false, "", 0},
      {":80", false, "", 0},
      {"", false, "", 0},
      {"[::1]x", false, "", 0},
  };
  for (const Case& c : cases) {
    const std::optional<UpdateServer> server = ParseUpdateServer(c.text);
    ASSERT_EQ(server.has_value(), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(server->host, c.host);
    EXPECT_EQ(server->port, c.port);
  }
}

}  // namespace
}  // namespace frosk
