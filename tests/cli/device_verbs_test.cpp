// froskctl read, monitor and set against frosk-sim.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"

namespace frosk::test {
namespace {

// GROUP.FIELD=VALUE lines as a map, and the groups in the order they appear.
struct ReadOutput {
  std::map<std::string, std::string> values;
  std::vector<std::string> groups;
};

ReadOutput ParseRead(const std::string& out) {
  ReadOutput parsed;
  for (const std::string& line : Lines(out)) {
    const size_t dot = line.find('.');
    const size_t equals = line.find('=');
    if (dot == std::string::npos || equals == std::string::npos) continue;
    parsed.values[line.substr(0, equals)] = line.substr(equals + 1);
    const std::string group = line.substr(0, dot);
    if (parsed.groups.empty() || parsed.groups.back() != group) parsed.groups.push_back(group);
  }
  return parsed;
}

class DeviceVerbsTest : public ::testing::Test {
 protected:
  // froskctl reads the ServiceMode setting from the user's settings: give it a
  // settings folder of its own.
  void SetUp() override { setenv("XDG_CONFIG_HOME", settings_.Path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

  std::string Sim(const std::vector<std::string>& args) {
    sim_ = SimProcess::Start(args);
    return sim_ != nullptr ? sim_->Path() : "/dev/frosk-no-sim";
  }

  static ProgramResult Froskctl(const std::vector<std::string>& args) { return RunProgram(BinPath("froskctl"), args); }

  TempDir settings_;
  std::unique_ptr<SimProcess> sim_;
};

TEST_F(DeviceVerbsTest, ReadPrintsEveryGroupTheSequenceFilledInReadingOrder) {
  const std::vector<std::string> controller = {"ServiceMode",     "DeviceIden",      "FroskTecConfig",
                                               "FroskTecMonitor", "NoMemModuleIden", "NoMemDefault",
                                               "NoMemUserSet",    "NoMemUserMin",    "NoMemUserMax"};
  std::vector<std::string> module = controller;
  module.insert(module.end(), {"ModuleIden", "ModuleDefault", "ModuleUserSet", "ModuleUserMin", "ModuleUserMax"});
  std::vector<std::string> veltra = module;
  veltra.insert(veltra.end(),
                {"ModuleVeltraMonitor", "VeltraDefault", "VeltraUserSet", "VeltraUserMin", "VeltraUserMax"});
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"none", controller}, {"nomem", controller}, {"1wire", module}, {"veltra", veltra}};
  for (const auto& [kind, groups] : cases) {
    const auto result = Froskctl({"read", Sim({"--module", kind, "--name", "Frosk\\TEC\x01"})});
    EXPECT_EQ(result.exitCode, 0) << kind << result.err;
    const ReadOutput read = ParseRead(result.out);
    EXPECT_EQ(read.groups, groups) << kind;
    EXPECT_EQ(read.values.at("DeviceIden.DEVICE_IDEN_NAME"), "Frosk\\\\TEC\\x01");
    EXPECT_EQ(read.values.at("DeviceIden.DEVICE_IDEN_SERIAL"), "123456-07");
    EXPECT_EQ(read.values.at("ServiceMode.SERVICE_MODE_ENABLE"), "FALSE");
  }
}

TEST_F(DeviceVerbsTest, ReadAsJsonHoldsTheSameValues) {
  const std::string port = Sim({"--module", "veltra"});
  const auto plain = ParseRead(Froskctl({"read", port}).out);
  const auto result = Froskctl({"read", port, "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  QJsonParseError error;
  const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(result.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << result.out;
  size_t fields = 0;
  for (const QString& group : json.object().keys()) {
    const QJsonObject values = json.object().value(group).toObject();
    for (const QString& field : values.keys()) {
      const std::string name = group.toStdString() + "." + field.toStdString();
      ASSERT_EQ(plain.values.count(name), 1u) << name;
      // Monitor readings move between the two reads.
      if (!group.endsWith("Monitor")) {
        EXPECT_EQ(values.value(field).toString().toStdString(), plain.values.at(name));
      }
      ++fields;
    }
  }
  EXPECT_EQ(fields, plain.values.size());
  EXPECT_EQ(json.object().value("FroskTecMonitor").toObject().value("FROSKTEC_MONITOR_MODULE_TYPE").toString(), "3");
}

TEST_F(DeviceVerbsTest, ReadFailsOnAPortThatDoesNotOpen) {
  const auto result = Froskctl({"read", "/dev/frosk-no-such-port"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("/dev/frosk-no-such-port"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  // No name at all is the input's fault, whichever verb gets it.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"read", ""}, {"load", "", "bench.froskconfig"}, {"request", "", "GET_DEVICE_IDEN"}}) {
    const auto empty = Froskctl(args);
    EXPECT_EQ(empty.exitCode, 2) << args[0];
    EXPECT_NE(empty.err.find("PORT is empty"), std::string::npos) << empty.err;
  }
}

// --yes answers the verb's own question only. A firmware update is answered
// No with a line that says how to make it; the factory batches cannot go on
// without it, so their device is closed all the same, but an older module
// firmware is no reason to stop. The update check is not consented to either.
TEST_F(DeviceVerbsTest, YesNeverConsentsToLeavingTheDevice) {
  const struct {
    std::vector<std::string> sim;
    std::string question;
    int exitCode;
    std::string declined;  // the device and the versions, when an update is offered
  } cases[] = {
      {{"--module-serial", "000301-14", "--module-firmware", "0"},
       "Your detection module has to be updated!\nDo you want to do it now?\n",
       1,
       "detection module 000301-14 runs firmware version 0 and the firmware folder has version 5"},
      {{"--module-serial", "000547-13", "--module-firmware", "65535"},
       "Your detection module has to be updated!\nDo you want to do it now?\n",
       1,
       "detection module 000547-13 runs firmware version 65535 and the firmware folder has version 5"},
      {{"--module-firmware", "1"},
       "Older firmware version detected in the module.\nDo you want to upgrade it now?\n",
       0,
       "detection module 000412-25 runs firmware version 1 and the firmware folder has version 5"},
      {{"--status", "141"},
       "Detection module not recognized!\nMaybe your software is obsolete...\nDo you want to check for updates?\n",
       1,
       ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> simArgs = {"--module", "veltra"};
    simArgs.insert(simArgs.end(), c.sim.begin(), c.sim.end());
    const std::string port = Sim(simArgs);
    for (const char* answer : {"", "--yes"}) {
      SCOPED_TRACE(c.sim.front() + " " + c.sim.back() + " " + answer);
      std::vector<std::string> args = {"read", port};
      if (*answer != '\0') args.push_back(answer);
      const auto result = Froskctl(args);
      EXPECT_EQ(result.exitCode, c.exitCode);
      std::string err = c.question;
      if (!c.declined.empty())
        err += port + ": answered No: " + c.declined + "; to update it: froskctl flash 3 --port " + port + "\n";
      if (c.exitCode != 0) err += "the device was closed\n";
      EXPECT_EQ(result.err, err);
      EXPECT_EQ(result.out.empty(), c.exitCode != 0);
    }
  }
}

TEST_F(DeviceVerbsTest, MonitorPrintsOneLinePerReplyAlternatingWithAVeltraModule) {
  const auto result = Froskctl({"monitor", Sim({"--module", "veltra"}), "--count", "4"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 4u) << result.out;
  long previous = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    const long ms = std::stol(lines[i]);
    EXPECT_GE(ms, previous);
    previous = ms;
    const bool controller = i % 2 == 1;  // the first poll asks the module
    EXPECT_EQ(lines[i].find(" FROSKTEC_MONITOR_SUP_ON=") != std::string::npos, controller) << lines[i];
    EXPECT_EQ(lines[i].find(" MODULE_VELTRA_MONITOR_U_DET=") != std::string::npos, !controller) << lines[i];
    EXPECT_EQ(lines[i].find(" STATUS=\"") != std::string::npos, controller) << lines[i];
  }
}

TEST_F(DeviceVerbsTest, MonitorAsCsvFillsOnlyTheCellsOfTheReplyingRecord) {
  const auto result = Froskctl({"monitor", Sim({"--module", "veltra", "--status", "140"}), "--csv", "--count", "2"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 3u) << result.out;
  EXPECT_EQ(lines[0].substr(0, 42), "ms,record,FROSKTEC_MONITOR_SUP_ON,FROSKTEC");
  EXPECT_EQ(lines[0].substr(lines[0].size() - 12), ",status_text");
  const auto cells = [](const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) out.push_back(cell);
    if (!line.empty() && line.back() == ',') out.push_back("");
    return out;
  };
  const size_t columns = cells(lines[0]).size();
  ASSERT_EQ(columns, 2u + 15 + 11 + 1);
  const auto veltra = cells(lines[1]);
  const auto controller = cells(lines[2]);
  ASSERT_EQ(veltra.size(), columns);
  ASSERT_EQ(controller.size(), columns);
  EXPECT_EQ(veltra[1], "MODULE_VELTRA_MONITOR");
  EXPECT_EQ(veltra[2], "");
  EXPECT_NE(veltra[2 + 15], "");
  EXPECT_EQ(veltra.back(), "");
  EXPECT_EQ(controller[1], "FROSKTEC_MONITOR");
  EXPECT_NE(controller[2], "");
  EXPECT_EQ(controller[2 + 15], "");
  EXPECT_EQ(controller.back(), "ERROR: Incompatible KAZ module");
}

TEST_F(DeviceVerbsTest, MonitorEndsWithSuccessOnAnInterrupt) {
  // Interrupted once its first reading is out, so a busy machine cannot make
  // the run end before it printed anything.
  bool sent = false;
  const auto result = RunProgram(BinPath("froskctl"), {"monitor", Sim({"--module", "1wire"})}, {}, 30000,
                                 [&sent](pid_t pid, const ProgramResult& sofar) {
                                   if (sent || sofar.out.find('\n') == std::string::npos) return;
                                   kill(pid, SIGINT);
                                   sent = true;
                                 });
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const auto lines = Lines(result.out);
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) EXPECT_NE(line.find(" STATUS=\""), std::string::npos) << line;
}

// Whether `line` is "PORT: not answering since HH:MM:SS".
bool IsNotAnsweringLine(const std::string& line, const std::string& port) {
  const std::string head = port + ": not answering since ";
  if (line.size() != head.size() + 8 || line.compare(0, head.size(), head) != 0) return false;
  const std::string time = line.substr(head.size());
  for (size_t i = 0; i < time.size(); ++i)
    if (i % 3 == 2 ? time[i] != ':' : !isdigit(static_cast<unsigned char>(time[i]))) return false;
  return true;
}

TEST_F(DeviceVerbsTest, MonitorPollsThroughASilenceAndEndsWithFailureWhenTheConnectionIsLost) {
  const std::string port = Sim({"--module", "1wire"});
  enum { kPolling, kStopped, kContinued, kKilled } stage = kPolling;
  size_t linesWhenStopped = 0;
  // --count is not reached: the lost connection ends the run.
  const auto result = RunProgram(
      BinPath("froskctl"), {"monitor", port, "--count", "100000"}, {}, 30000, [&](pid_t, const ProgramResult& sofar) {
        if (stage == kPolling && sofar.out.find('\n') != std::string::npos) {
          kill(sim_->Pid(), SIGSTOP);
          linesWhenStopped = Lines(sofar.out).size();
          stage = kStopped;
        } else if (stage == kStopped && sofar.err.find("not answering") != std::string::npos) {
          kill(sim_->Pid(), SIGCONT);
          stage = kContinued;
        } else if (stage == kContinued && Lines(sofar.out).size() > linesWhenStopped + 2) {
          kill(sim_->Pid(), SIGKILL);
          stage = kKilled;
        }
      });
  EXPECT_EQ(stage, kKilled);
  EXPECT_EQ(result.exitCode, 1) << result.err;
  const auto err = Lines(result.err);
  ASSERT_EQ(err.size(), 3u) << result.err;
  EXPECT_TRUE(IsNotAnsweringLine(err[0], port)) << err[0];
  EXPECT_EQ(err[1], port + ": answering again");
  EXPECT_EQ(err[2], port + ": connection lost");
}

TEST_F(DeviceVerbsTest, ReadNamesTheRequestThatGotNoReply) {
  TempDir logDir;
  const std::string log = logDir.Path() + "frames.log";
  const std::string port = Sim({"--module", "veltra", "--reply-delay", "300", "--log", log});
  // The fourth request's key, once the simulator has taken it in; it answers
  // 300 ms later, long after it is stopped.
  std::string fourth;
  const auto result = RunProgram(BinPath("froskctl"), {"read", port}, {}, 30000, [&](pid_t, const ProgramResult&) {
    if (!fourth.empty()) return;
    std::ifstream in(log);
    std::vector<std::string> keys;
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string time, device, direction, frame, key;
      if (words >> time >> device >> direction >> frame >> key && direction == "in") keys.push_back(key);
    }
    if (keys.size() < 4) return;
    kill(sim_->Pid(), SIGSTOP);
    fourth = keys[3];
  });
  kill(sim_->Pid(), SIGCONT);
  ASSERT_FALSE(fourth.empty());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  const std::string named = port + ": no reply to " + fourth + " within 5000 ms\n";
  EXPECT_NE(result.err.find(named), std::string::npos) << result.err;
}

TEST_F(DeviceVerbsTest, SetKeepsToTheUserBandAndPrintsTheAnsweredGroups) {
  const std::string port = Sim({"--module", "veltra"});
  const auto before = ParseRead(Froskctl({"read", port}).out);
  const std::string userMax = before.values.at("ModuleUserMax.MODULE_BASIC_PARAMS_T_DET");

  auto result = Froskctl({"set", port, "MODULE_BASIC_PARAMS_T_DET=399", "MODULE_VELTRA_PARAMS_TRANS=HIGH"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto after = ParseRead(result.out);
  EXPECT_EQ(after.groups, (std::vector<std::string>{"ModuleUserSet", "VeltraUserSet"}));
  EXPECT_EQ(after.values.at("ModuleUserSet.MODULE_BASIC_PARAMS_T_DET"), userMax);
  EXPECT_EQ(after.values.at("VeltraUserSet.MODULE_VELTRA_PARAMS_TRANS"), "1");
  EXPECT_EQ(result.err, "MODULE_BASIC_PARAMS_T_DET=399 clamped to " + userMax + "\n");

  // In service mode the controller's own limits hold.
  ASSERT_EQ(Froskctl({"request", port, "SET_SERVICE_MODE", "SERVICE_MODE_ENABLE=TRUE"}).exitCode, 0);
  result = Froskctl({"set", port, "MODULE_BASIC_PARAMS_T_DET=399"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ParseRead(result.out).values.at("ModuleUserSet.MODULE_BASIC_PARAMS_T_DET"), "399.000");
  EXPECT_EQ(result.err, "");
}

TEST_F(DeviceVerbsTest, SetWritesTheControllersCopyForAMemorylessModule) {
  const auto result = Froskctl({"set", Sim({"--module", "nomem"}), "MODULE_BASIC_PARAMS_SUP_CTRL=ON"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ParseRead(result.out).values.at("NoMemUserSet.MODULE_BASIC_PARAMS_SUP_CTRL"), "2");
}

TEST_F(DeviceVerbsTest, SetRefusesWhatTheWindowWouldNotOffer) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {{"DEVICE_IDEN_NAME=x"}, 2},
      {{"MODULE_BASIC_PARAMS_T_DET"}, 2},
      {{"MODULE_BASIC_PARAMS_T_DET=warm"}, 2},
      {{"MODULE_VELTRA_PARAMS_BW=WIDE"}, 2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"set", "/dev/frosk-no-such-port"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(Froskctl(args).exitCode, c.exitCode) << c.args[0];
  }
  auto result = Froskctl({"set", Sim({"--module", "1wire"}), "MODULE_VELTRA_PARAMS_GAIN=85"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  result = Froskctl({"set", Sim({"--module", "none"}), "MODULE_BASIC_PARAMS_SUP_CTRL=ON"});
  EXPECT_EQ(result.exitCode, 1);
}

}  // namespace
}  // namespace frosk::test
