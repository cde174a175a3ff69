#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/fleet_metrics.h"
#include "cli/fleet_textfile.h"
#include "cli/monitor_printer.h"
#include "common/link_layer.h"
#include "common/wall_clock.h"
#include "device/device_connection.h"

namespace frosk::cli {

// How a watched port's controller is doing, as its metrics and log lines tell it.
enum class PortHealth {
  kStarting,  // opened, no reply yet and none given up
  kAnswering,
  kNotAnswering,
  kLost,  // the port failed or is not open
};

// monitor of several ports in one process: a connection per port, all ticked
// by one 100 ms timer, each polling its monitors as the user view does.
// With a station textfile it keeps the station's metrics file, reopens a lost
// port every 5 s (reading its identity again, so a swapped controller comes
// back under its own labels) and never ends by itself; without one it prints
// each reply's line behind its port and ends once the last port is lost.
// Link health goes to standard error, one line per change.
class FleetMonitor : public QObject, private ConnectionOwner {
 public:
  static constexpr uint32_t kReopenMs = 5000;
  // The collector reads the file whenever it is scraped; more often than
  // this would only cost disk writes.
  static constexpr uint32_t kWriteIntervalMs = 1000;

  struct Seams {
    const TickClock& clock;
    const WallClock& wallClock;
    Prompter& prompter;
    Beeper& beeper;
    const Folders& folders;
  };
  struct Options {
    std::vector<std::string> ports;
    std::string station;
    // None: the replies' lines go to standard output.
    StationTextfile* textfile = nullptr;
    bool serviceModeSetting = false;
  };

  FleetMonitor(Options options, const Seams& seams);
  ~FleetMonitor() override;

  // Opens every port. Without a textfile a port that does not open ends the
  // start (1 after saying why); with one it is said and tried again later.
  int Start();
  // The 100 ms tick: ticks each connection, follows its health, reopens lost
  // ports and writes the textfile when it is due.
  void Tick();
  // Ends the watch: every controller down in a last write of the textfile,
  // every port closed.
  void Finish();
  // Runs the event loop with the timer that calls Tick until Stop or, without a textfile,
  // the loss of the last port (1).
  int Run();
  void Stop(int exitCode);

  // The controllers as the textfile shows them, in the order of the ports.
  std::vector<ControllerMetrics> Metrics() const;
  PortHealth Health(size_t port) const { return ports_[port]->reported; }

 private:
  struct Port {
    std::string name;
    // Its connection's messages, behind the port's name.
    std::unique_ptr<Prompter> prompter;
    std::unique_ptr<DeviceConnection> connection;
    std::unique_ptr<MonitorPrinter> printer;
    GroupMask read = 0;  // what the replies on this link stored
    ControllerMetrics metrics;
    std::optional<uint32_t> closedAt;  // when the port was found lost or did not open
    bool answered = false;             // on this link
    std::optional<LocalDateTime> lastReply;
    PortHealth reported = PortHealth::kStarting;
    std::optional<CloseAction> closeRequested;
  };

  // ConnectionOwner
  bool ServiceModeSetting() const override { return options_.serviceModeSetting; }
  bool DevicesReachable() const override { return true; }
  void CloseRequested(DeviceConnection& connection, CloseAction action) override;
  // Behind the port's name, as the health lines.
  void WriteLog(DeviceConnection& connection, const std::string& line) override;
  const WallClock& Calendar() const override { return seams_.wallClock; }

  // Opens the port's link on a new connection; false when it did not open.
  bool Open(Port& port, std::string* why);
  void Refreshed(Port& port, GroupMask stored);
  PortHealth HealthOf(const Port& port) const;
  void Follow(Port& port);
  void Report(Port& port, PortHealth health);
  bool AllSettled() const;
  void WriteTextfile();

  Options options_;
  Seams seams_;
  LinkLayer links_;
  std::vector<std::unique_ptr<Port>> ports_;
  QTimer timer_;
  bool dirty_ = true;
  std::optional<uint32_t> lastWrite_;
  std::string writeFailure_;
  std::optional<int> result_;
};

}  // namespace frosk::cli
