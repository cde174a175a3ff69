// Recording a device's monitor replies: the format, a file refused or added
// to, a full disk, the recorder over a connection, and the trends that sample
// it and start recordings from the program.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "engine_fixture.h"
#include "support/event_pump.h"
#include "trends/device_trends.h"
#include "trends/monitor_csv.h"
#include "trends/recorder.h"

namespace frosk::test {
namespace {

using namespace key;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::string cell;
  for (const char c : row) {
    if (c != ',') {
      cell += c;
      continue;
    }
    cells.push_back(cell);
    cell.clear();
  }
  cells.push_back(cell);
  return cells;
}

// A disk that takes `room` more bytes, then takes part of a write and fails
// the rest as full.
class FullDisk : public FileCalls {
 public:
  explicit FullDisk(size_t room) : room_(room) {}
  ssize_t Write(int fd, const char* data, size_t size) override {
    if (room_ == 0) {
      errno = ENOSPC;
      return -1;
    }
    const size_t taken = std::min(size, room_);
    room_ -= taken;
    return FileCalls::Write(fd, data, taken);
  }
  size_t room_;
};

TEST(MonitorCsvTest, TimesAndCellsAreWrittenAsTheFormatSays) {
  EXPECT_EQ(FormatIsoDateTime({2026, 12, 10, 14, 3, 7, 512, 60}), "2026-12-10T14:03:07.512+01:00");
  EXPECT_EQ(FormatIsoDateTime({2026, 1, 2, 3, 4, 5, 6, -330}), "2026-01-02T03:04:05.006-05:30");
  EXPECT_EQ(FormatIsoDateTime({2026, 1, 2, 3, 4, 5, 0, 0}), "2026-01-02T03:04:05.000+00:00");
  EXPECT_EQ(CsvCell("Temperature locked"), "Temperature locked");
  EXPECT_EQ(CsvCell("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvCell("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvCell("two\nlines"), "\"two\nlines\"");

  const std::vector<std::string> header = Cells(Lines(MonitorCsvHeader())[0]);
  ASSERT_EQ(header.size(), 3u + 15 + 11 + 1);
  EXPECT_EQ(header[0], "time");
  EXPECT_EQ(header[3], "FROSKTEC_MONITOR_SUP_ON");
  EXPECT_EQ(header[18], "MODULE_VELTRA_MONITOR_SUP_PLUS");
  EXPECT_EQ(header.back(), "status_text");
  EXPECT_EQ(Cells(Lines(NoReplyCsvRow({2026, 1, 2, 3, 4, 5}, 42))[0]).size(), header.size());
}

class MonitorCsvWriterTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Path() + name; }
  TempDir dir_;
};

TEST_F(MonitorCsvWriterTest, AnExistingFileIsAddedToOnlyWhenAskedAndWhenItHoldsTheSameColumns) {
  using Opened = MonitorCsvWriter::Opened;
  using Mode = MonitorCsvWriter::Mode;
  const std::string path = Path("run.csv");
  {
    MonitorCsvWriter writer;
    ASSERT_EQ(writer.Open(path, Mode::kNew, nullptr), Opened::kYes);
    ASSERT_TRUE(writer.WriteRow("first\n", nullptr));
  }
  MonitorCsvWriter writer;
  std::string why;
  EXPECT_EQ(writer.Open(path, Mode::kNew, &why), Opened::kRefused);
  EXPECT_EQ(why, "exists already");
  ASSERT_EQ(writer.Open(path, Mode::kAppend, nullptr), Opened::kYes);
  ASSERT_TRUE(writer.WriteRow("second\n", nullptr));
  writer.Close();
  EXPECT_EQ(ReadFile(path), MonitorCsvHeader() + "first\nsecond\n");
  EXPECT_EQ(writer.Size(), ReadFile(path).size());

  const std::string other = dir_.Write("other.csv", "time,ms,record\n1,2,3\n");
  EXPECT_EQ(MonitorCsvWriter::Check(other, Mode::kAppend, &why), Opened::kRefused);
  EXPECT_EQ(writer.Open(other, Mode::kAppend, &why), Opened::kRefused);
  EXPECT_EQ(ReadFile(other), "time,ms,record\n1,2,3\n");
  // An empty file takes the header as a new one would.
  const std::string empty = dir_.Write("empty.csv", "");
  ASSERT_EQ(writer.Open(empty, Mode::kAppend, nullptr), Opened::kYes);
  writer.Close();
  EXPECT_EQ(ReadFile(empty), MonitorCsvHeader());
  EXPECT_EQ(writer.Open(dir_.Path(), Mode::kAppend, &why), Opened::kRefused);
  EXPECT_EQ(writer.Open(Path("missing/run.csv"), Mode::kNew, &why), Opened::kFailed);
}

TEST_F(MonitorCsvWriterTest, AFullDiskStopsTheRecordingAndLeavesEveryWholeRowReadable) {
  const std::string header = MonitorCsvHeader();
  FullDisk disk(header.size() + 10 + 4);
  MonitorCsvWriter writer(disk);
  ASSERT_EQ(writer.Open(Path("full.csv"), MonitorCsvWriter::Mode::kNew, nullptr), MonitorCsvWriter::Opened::kYes);
  ASSERT_TRUE(writer.WriteRow("row,one,1\n", nullptr));
  std::string why;
  EXPECT_FALSE(writer.WriteRow("row,two,2\n", &why));
  EXPECT_EQ(why, "No space left on device");
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(ReadFile(Path("full.csv")), header + "row,one,1\n") << "the torn row is cut off";
  EXPECT_FALSE(writer.WriteRow("row,three,3\n", nullptr));
}

// One controller connected through a connection the test feeds.
class ConnectedTest : public ::testing::Test {
 protected:
  ConnectedTest() {
    EnsureCoreApplication();
    connection_->Open();
    connection_->Engine().SetDeviceMonitorAuto(false);
    connection_->Engine().SetModuleMonitorAuto(false);
  }

  void Reply(const std::vector<uint8_t>& item, uint32_t afterMs = 100) {
    clock_.Advance(afterMs);
    FakeConnectionHost::Deliver(*connection_, item.data());
  }
  void ReplyMonitors() {
    Reply(ReplyItem(device_.monitor));
    Reply(ReplyItem(ModuleVeltraMonitorRecord{}));
  }
  // A request given up after its time-out.
  void TimeOut() {
    connection_->Engine().SendRequest(GET_FROSKTEC_MONITOR);
    clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
    connection_->Tick();
  }

  TempDir dir_;
  Folders folders_ = Folders::Beside(dir_.Path());
  ManualTickClock clock_{4'294'960'000u};  // wraps a few seconds in
  FixedWallClock wall_{{2026, 12, 10, 14, 3, 7, 512, 60}};
  ScriptedPrompter prompter_;
  CountingBeeper beeper_;
  Settings settings_;
  FakeConnectionHost host_{settings_};
  FakeDevice device_{kVeltraModule};
  std::unique_ptr<DeviceConnection> connection_ =
      std::make_unique<DeviceConnection>("ttyFAKE0", host_, DeviceSeams{clock_, prompter_, beeper_, folders_}, host_);
};

TEST_F(ConnectedTest, TheRecorderWritesARowPerReplyAndOneForEachStretchWithoutReplies) {
  Recorder recorder(*connection_, {clock_, wall_, FileCalls::System()});
  const std::string path = dir_.Path() + "run.csv";
  ASSERT_EQ(recorder.Start(path, MonitorCsvWriter::Mode::kNew, nullptr), MonitorCsvWriter::Opened::kYes);
  ReplyMonitors();
  recorder.NotAnswering();
  recorder.NotAnswering();
  clock_.Advance(10'000);
  wall_.Set({2026, 12, 10, 14, 3, 27, 512, 60});
  recorder.NotAnswering();  // still the same stretch
  Reply(ReplyItem(device_.monitor));
  recorder.NotAnswering();  // a new one

  const std::vector<std::string> rows = Lines(ReadFile(path));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[1].substr(0, 57), "2026-12-10T14:03:07.512+01:00,100,FROSKTEC_MONITOR,FALSE,");
  EXPECT_EQ(Cells(rows[1]).back(), "Temperature locked");
  EXPECT_EQ(Cells(rows[2])[2], "MODULE_VELTRA_MONITOR");
  EXPECT_EQ(Cells(rows[2]).back(), "");
  EXPECT_EQ(Cells(rows[3])[1], "200") << "milliseconds count on across the tick count's wrap";
  EXPECT_EQ(Cells(rows[3])[2], "NO_REPLY");
  EXPECT_EQ(Cells(rows[4])[1], "10300");
  EXPECT_EQ(Cells(rows[5])[2], "NO_REPLY");
  for (const std::string& row : rows) EXPECT_EQ(Cells(row).size(), Cells(rows[0]).size()) << row;
  EXPECT_EQ(recorder.Size(), ReadFile(path).size());

  // The device goes: the recording ends with it, every row kept.
  connection_.reset();
  EXPECT_FALSE(recorder.Recording());
  EXPECT_EQ(Lines(ReadFile(path)).size(), 6u);
}

TEST_F(ConnectedTest, TrendsSampleFromTheStartAndBreakWhereTheDeviceStoppedAnswering) {
  DeviceTrends trends(*connection_, {clock_, wall_, settings_});
  ReplyMonitors();
  ReplyMonitors();
  const SampleStore& store = trends.Samples();
  const size_t setpoint = StreamIndex(TrendCharts()[0].channels[1]);
  EXPECT_EQ(store.Controller().Envelope(setpoint, 0, 10'000, 100).size(), 0u) << "no setpoint before it was read";
  EXPECT_EQ(store.Module().Envelope(0, 0, 10'000, 100).size(), 1u);

  TimeOut();
  ReplyMonitors();
  EXPECT_EQ(store.Controller().Envelope(0, 0, 100'000, 100).size(), 2u);
  EXPECT_EQ(store.Marks().size(), 1u);
  EXPECT_EQ(store.Marks().front().code, kStatusTemperatureLocked);
}

TEST_F(ConnectedTest, ARecordingStartsInANewFileOfTheFolderAndAFolderThatCannotBeWrittenSaysSo) {
  DeviceTrends trends(*connection_, {clock_, wall_, settings_});
  settings_.RecordingFolder = dir_.Path() + "runs/today";
  ASSERT_TRUE(trends.StartRecording());
  const std::string first = dir_.Path() + "runs/today/000000-00_20261210-140307.csv";
  EXPECT_EQ(trends.Recording().Path(), first);
  EXPECT_EQ(host_.logged.back(), "Recording to " + first);
  ASSERT_TRUE(trends.StartRecording()) << "a second start in the same second";
  EXPECT_EQ(trends.Recording().Path(), dir_.Path() + "runs/today/000000-00_20261210-140307-2.csv");
  trends.StopRecording();

  settings_.RecordingFolder = dir_.Write("a-file", "") + "/runs";
  EXPECT_FALSE(trends.StartRecording());
  EXPECT_FALSE(trends.Recording().Recording());
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text.rfind("Recording could not start !\r" + settings_.RecordingFolder + ": ", 0), 0u)
      << prompter_.shown[0].text;

  const std::string unwritable = settings_.RecordingFolder;
  prompter_.folders = {dir_.Path() + "chosen"};
  EXPECT_TRUE(trends.ChooseRecordingFolder());
  EXPECT_EQ(prompter_.folderDialogs, std::vector<std::string>{unwritable}) << "the dialog starts at the current one";
  EXPECT_EQ(settings_.RecordingFolder, dir_.Path() + "chosen");
  EXPECT_FALSE(trends.ChooseRecordingFolder()) << "cancelled";
  EXPECT_EQ(settings_.RecordingFolder, dir_.Path() + "chosen");
}

TEST_F(ConnectedTest, AFullDiskStopsTheRecordingWithAMessageAfterTheReplyWasDispatched) {
  FullDisk disk(MonitorCsvHeader().size() + 100);
  DeviceTrends trends(*connection_, {clock_, wall_, settings_, disk});
  settings_.RecordingFolder = dir_.Path();
  ASSERT_TRUE(trends.StartRecording());
  const std::string path = trends.Recording().Path();
  ReplyMonitors();
  ReplyMonitors();
  EXPECT_FALSE(trends.Recording().Recording());
  EXPECT_TRUE(prompter_.shown.empty()) << "no box inside the dispatch";
  QCoreApplication::processEvents();
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, "Recording stopped !\r" + path + ": No space left on device");
  EXPECT_EQ(ReadFile(path), MonitorCsvHeader()) << "no row fitted whole";
  ReplyMonitors();
  EXPECT_EQ(trends.Samples().Controller().Envelope(0, 0, 100'000, 100).size(), 1u) << "the trends go on";
}

}  // namespace
}  // namespace frosk::test
