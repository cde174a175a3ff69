#include "cli/fleet_monitor.h"

#include <QCoreApplication>
#include <iostream>

#include "cli/cli.h"
#include "cli/device_session.h"

namespace frosk::cli {

namespace {

// The main window's tick.
constexpr int kTickMs = 100;

// One port's messages in a watch of many, each behind the port's name as the
// health lines are: a "Communication timeout !" must say which controller.
class PortPrompter : public Prompter {
 public:
  PortPrompter(Prompter& prompter, const std::string& port) : prompter_(prompter), prefix_(port + ": ") {}

  int ShowMessageBox(const std::string& text, unsigned flags) override {
    return prompter_.ShowMessageBox(prefix_ + text, flags);
  }
  int AskToProgramFirmware(const std::string& text, unsigned flags, const FirmwareOffer& offer) override {
    return prompter_.AskToProgramFirmware(prefix_ + text, flags, offer);
  }
  int AskToCheckForUpdates(const std::string& text, unsigned flags) override {
    return prompter_.AskToCheckForUpdates(prefix_ + text, flags);
  }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest& request) override {
    return prompter_.AskOpenFileName(request);
  }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest& request) override {
    return prompter_.AskSaveFileName(request);
  }
  std::optional<std::string> AskFolder(const std::string& current) override { return prompter_.AskFolder(current); }

 private:
  Prompter& prompter_;
  const std::string prefix_;
};

}  // namespace

// --- The watch --------------------------------------------------------------------

FleetMonitor::FleetMonitor(Options options, const Seams& seams) : options_(std::move(options)), seams_(seams) {
  for (const std::string& name : options_.ports) {
    auto port = std::make_unique<Port>();
    port->name = name;
    port->prompter = std::make_unique<PortPrompter>(seams_.prompter, name);
    port->metrics.port = name;
    ports_.push_back(std::move(port));
  }
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &FleetMonitor::Tick);
}

FleetMonitor::~FleetMonitor() {
  for (const auto& port : ports_) DeviceConnection::Dispose(std::move(port->connection), nullptr);
}

int FleetMonitor::Start() {
  for (const auto& port : ports_) {
    std::string why;
    if (Open(*port, &why)) continue;
    if (options_.textfile == nullptr) return Failure(why);
    // A station starts with the adapters it has; the others are looked for every few seconds.
    std::cerr << why << "\n";
    port->reported = PortHealth::kLost;
  }
  return kExitDone;
}

bool FleetMonitor::Open(Port& port, std::string* why) {
  DeviceConnection::Dispose(std::move(port.connection), nullptr);
  port.connection = std::make_unique<DeviceConnection>(
      port.name, links_, DeviceSeams{seams_.clock, *port.prompter, seams_.beeper, seams_.folders},
      static_cast<ConnectionOwner&>(*this));
  port.read = 0;
  port.answered = false;
  port.closeRequested.reset();
  PortError error;
  if (!port.connection->Open(&error)) {
    port.closedAt = seams_.clock.Now();
    if (why != nullptr) *why = OpenFailureText(error);
    return false;
  }
  port.closedAt.reset();
  DeviceEngine& engine = port.connection->Engine();
  if (options_.textfile == nullptr) port.printer = std::make_unique<MonitorPrinter>(engine, false, port.name + ": ");
  // A connection left for disposal may still deliver a reply: it is not the port's any more.
  engine.AddRefreshListener([this, &port, connection = port.connection.get()](GroupMask stored) {
    if (port.connection.get() == connection) Refreshed(port, stored);
  });
  return true;
}

void FleetMonitor::Refreshed(Port& port, GroupMask stored) {
  if (stored == 0 || port.connection == nullptr) return;
  DeviceEngine& engine = port.connection->Engine();
  port.read |= stored;
  port.answered = true;
  port.lastReply = port.connection->Health().lastReply;
  // The labels and readings are those of the controller on the port now; until
  // a reopened port has said who answers, its last controller's stay.
  if ((port.read & GroupBit(Group::kDeviceIden)) != 0) {
    port.metrics = ControllerMetrics{};
    port.metrics.port = port.name;
    TakeReadings(engine, port.read, port.metrics);
  }
  dirty_ = true;
  if (port.printer != nullptr) port.printer->OnRefresh(stored, seams_.clock.Now());
}

// A link that is live but has not answered yet is starting; a connection
// its engine asked to close is lost like a port that failed.
PortHealth FleetMonitor::HealthOf(const Port& port) const {
  if (port.connection == nullptr || !port.connection->IsOpen()) return PortHealth::kLost;
  switch (port.connection->Health().state) {
    case LinkState::kLost: return PortHealth::kLost;
    case LinkState::kNotAnswering: return PortHealth::kNotAnswering;
    case LinkState::kLive: break;
  }
  return port.answered ? PortHealth::kAnswering : PortHealth::kStarting;
}

void FleetMonitor::Report(Port& port, PortHealth health) {
  // Only a port's first opening starts quietly; a reopened one stays lost
  // until it answers.
  if (health == port.reported || health == PortHealth::kStarting) return;
  const PortHealth before = std::exchange(port.reported, health);
  dirty_ = true;
  switch (health) {
    case PortHealth::kStarting:
    case PortHealth::kAnswering:
      if (before != PortHealth::kStarting) std::cerr << port.name << ": answering again\n";
      return;
    case PortHealth::kNotAnswering:
      std::cerr << port.name << ": not answering since " << FormatTime(port.connection->Health().lastReply) << "\n";
      return;
    case PortHealth::kLost:
      if (port.closeRequested) std::cerr << port.name << ": " << CloseReason(*port.closeRequested) << "\n";
      std::cerr << port.name << ": connection lost\n";
      return;
  }
}

void FleetMonitor::Follow(Port& port) {
  const PortHealth health = HealthOf(port);
  if (health == PortHealth::kLost && !port.closedAt) {
    port.closedAt = seams_.clock.Now();
    if (port.connection != nullptr) port.connection->Close();
  }
  Report(port, health);
}

void FleetMonitor::Tick() {
  for (const auto& port : ports_) {
    if (port->connection != nullptr && port->connection->IsOpen()) port->connection->Tick();
    Follow(*port);
    if (options_.textfile == nullptr || !port->closedAt || seams_.clock.Now() - *port->closedAt < kReopenMs) continue;
    // A port that does not open yet is tried again after the same pause, silently.
    Open(*port, nullptr);
  }
  if (options_.textfile == nullptr) {
    bool anyOpen = false;
    for (const auto& port : ports_) anyOpen |= port->reported != PortHealth::kLost;
    if (!anyOpen) Stop(kExitFailed);
    return;
  }
  if (dirty_ && AllSettled() && (!lastWrite_ || seams_.clock.Now() - *lastWrite_ >= kWriteIntervalMs)) WriteTextfile();
}

// The first file waits until each port has answered or shown that it does
// not, so a restart does not flash every controller down.
bool FleetMonitor::AllSettled() const {
  for (const auto& port : ports_)
    if (port->reported == PortHealth::kStarting) return false;
  return true;
}

std::vector<ControllerMetrics> FleetMonitor::Metrics() const {
  std::vector<ControllerMetrics> metrics;
  for (const auto& port : ports_) {
    ControllerMetrics controller = port->metrics;
    controller.up = port->reported == PortHealth::kAnswering;
    if (port->lastReply) controller.lastReplySeconds = static_cast<double>(EpochMs(*port->lastReply)) / 1000;
    metrics.push_back(std::move(controller));
  }
  return metrics;
}

void FleetMonitor::WriteTextfile() {
  lastWrite_ = seams_.clock.Now();
  dirty_ = false;
  std::string why;
  if (options_.textfile->Write(FleetMetricsText(options_.station, Metrics()), &why)) {
    if (!writeFailure_.empty()) std::cerr << options_.textfile->Path() << ": written again\n";
    writeFailure_.clear();
    return;
  }
  // Tried again with the next change; said once until it works again.
  dirty_ = true;
  if (why != writeFailure_) std::cerr << options_.textfile->Path() << ": " << why << "\n";
  writeFailure_ = why;
}

void FleetMonitor::Finish() {
  timer_.stop();
  for (const auto& port : ports_) {
    if (port->connection != nullptr) port->connection->Close();
    port->reported = PortHealth::kLost;
  }
  if (options_.textfile != nullptr) WriteTextfile();
}

void FleetMonitor::CloseRequested(DeviceConnection& connection, CloseAction action) {
  connection.Close();
  for (const auto& port : ports_)
    if (port->connection.get() == &connection) port->closeRequested = action;
}

void FleetMonitor::WriteLog(DeviceConnection& connection, const std::string& line) {
  for (const auto& port : ports_)
    if (port->connection.get() == &connection) {
      std::cerr << port->name << ": " << line << "\n";
      return;
    }
  std::cerr << line << "\n";
}

void FleetMonitor::Stop(int exitCode) {
  if (result_) return;
  result_ = exitCode;
  QCoreApplication::exit(exitCode);
}

int FleetMonitor::Run() {
  if (result_) return *result_;
  timer_.start();
  QCoreApplication::exec();
  return *result_;
}

}  // namespace frosk::cli
