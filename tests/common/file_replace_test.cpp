#include "common/file_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace frosk::test {
namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

enum class Step { kCreate, kWriteHalf, kWriteNothing, kSync, kClose, kRename };

// The system's calls, with one step failing as a full disk or a failing drive
// makes it fail.
class FailingCalls : public FileCalls {
 public:
  FailingCalls(Step step, int error) : step_(step), error_(error) {}

  int Create(const std::string& path, mode_t mode) override {
    return step_ == Step::kCreate ? Fail() : FileCalls::Create(path, mode);
  }
  ssize_t Write(int fd, const char* data, size_t size) override {
    if (step_ == Step::kWriteNothing) return 0;
    if (step_ != Step::kWriteHalf) return FileCalls::Write(fd, data, size);
    // The disk takes the first half, then is full.
    if (writes_++ == 0) return FileCalls::Write(fd, data, size / 2);
    return Fail();
  }
  int Sync(int fd) override { return step_ == Step::kSync ? Fail() : FileCalls::Sync(fd); }
  int Close(int fd) override {
    const int closed = FileCalls::Close(fd);
    return step_ == Step::kClose ? Fail() : closed;
  }
  int Rename(const std::string& from, const std::string& to) override {
    return step_ == Step::kRename ? Fail() : FileCalls::Rename(from, to);
  }

 private:
  int Fail() const {
    errno = error_;
    return -1;
  }

  Step step_;
  int error_;
  int writes_ = 0;
};

TEST(FileReplaceTest, AFailureAtAnyStepKeepsTheEarlierFileAndLeavesNothingBeside) {
  const struct {
    const char* name;
    Step step;
    int error;
    const char* why;
  } cases[] = {
      {"no room for a new file", Step::kCreate, EACCES, "Permission denied"},
      {"a disk that fills halfway", Step::kWriteHalf, ENOSPC, "No space left on device"},
      {"a write that takes nothing", Step::kWriteNothing, 0, "Input/output error"},
      {"a failed sync", Step::kSync, EIO, "Input/output error"},
      {"a quota found out at close", Step::kClose, EDQUOT, "Disk quota exceeded"},
      {"a failed rename", Step::kRename, EBUSY, "Device or resource busy"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.Write("bench.froskconfig", "the earlier content");
    FailingCalls calls(c.step, c.error);
    std::string why;
    EXPECT_FALSE(ReplaceFileContent(path, std::string(5000, 'N'), &why, calls)) << c.name;
    EXPECT_EQ(why, c.why) << c.name;
    EXPECT_EQ(FileText(path), "the earlier content") << c.name;
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"bench.froskconfig"}) << c.name;
  }
}

TEST(FileReplaceTest, AReplacedFileKeepsItsModeAndALinkStaysALink) {
  TempDir dir;
  const std::string file = dir.Write("bench.froskconfig", "earlier");
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  const std::string link = dir.Path() + "latest.froskconfig";
  ASSERT_EQ(symlink("bench.froskconfig", link.c_str()), 0);

  std::string why;
  ASSERT_TRUE(ReplaceFileContent(link, "through the link", &why)) << why;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(FileText(file), "through the link");
  EXPECT_EQ(ModeOf(file), 0640u);

  const std::string fresh = dir.Path() + "fresh.froskconfig";
  const mode_t mask = umask(022);
  ASSERT_TRUE(ReplaceFileContent(fresh, "new", &why)) << why;
  umask(mask);
  EXPECT_EQ(FileText(fresh), "new");
  EXPECT_EQ(ModeOf(fresh), 0644u);
  EXPECT_EQ(FolderEntries(dir.Path()),
            (std::vector<std::string>{"bench.froskconfig", "fresh.froskconfig", "latest.froskconfig"}));
}

TEST(FileReplaceTest, WhatIsNoRegularFileIsRefusedAndLeftAsItIs) {
  TempDir dir;
  const std::string pipe = dir.Path() + "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  const std::string pipeLink = dir.Path() + "pipe-link";
  ASSERT_EQ(symlink("pipe", pipeLink.c_str()), 0);
  std::filesystem::create_directory(dir.Path() + "folder");
  const struct {
    std::string path;
    const char* why;
  } cases[] = {
      {pipe, "is not a regular file"},
      {pipeLink, "is not a regular file"},
      {dir.Path() + "folder", "is a folder"},
      {dir.Path() + "no-folder/file", "No such file or directory"},
  };
  const std::vector<std::string> before = FolderEntries(dir.Path());
  for (const auto& c : cases) {
    std::string why;
    EXPECT_FALSE(ReplaceFileContent(c.path, "text", &why)) << c.path;
    EXPECT_EQ(why, c.why) << c.path;
  }
  EXPECT_EQ(FolderEntries(dir.Path()), before);
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

}  // namespace
}  // namespace frosk::test
