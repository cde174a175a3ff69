#include "trends/device_trends.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "device/device_engine.h"
#include "protocol/device_codes.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

namespace {

using enum TrendSource;

constexpr TrendChannel kTemperatureChannels[] = {
    {kControllerMonitor, FROSKTEC_MONITOR_T_DET, "Detector temperature", false},
    {kControllerSetting, MODULE_BASIC_PARAMS_T_DET, "Setpoint", false},
};
constexpr TrendChannel kTecChannels[] = {
    {kControllerMonitor, FROSKTEC_MONITOR_I_TEC, "TEC current", false},
    {kControllerSetting, MODULE_BASIC_PARAMS_I_TEC_MAX, "TEC maximum current", false},
    {kControllerMonitor, FROSKTEC_MONITOR_U_TEC, "TEC voltage", true},
};
constexpr TrendChannel kSupplyChannels[] = {
    {kControllerMonitor, FROSKTEC_MONITOR_U_SUP_PLUS, "Supply positive voltage", false},
    {kControllerMonitor, FROSKTEC_MONITOR_U_SUP_MINUS, "Supply negative voltage", false},
    {kControllerMonitor, FROSKTEC_MONITOR_I_SUP_PLUS, "Supply positive current", true},
    {kControllerMonitor, FROSKTEC_MONITOR_I_SUP_MINUS, "Supply negative current", true},
    {kControllerMonitor, FROSKTEC_MONITOR_I_FAN_PLUS, "Fan supply current", true},
};
constexpr TrendChannel kModuleTemperatureChannels[] = {
    {kModuleMonitor, MODULE_VELTRA_MONITOR_TEMP, "Module enclosure temperature", false},
};
constexpr TrendChannel kModuleVoltageChannels[] = {
    {kModuleMonitor, MODULE_VELTRA_MONITOR_U_DET, "Detector bias voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_U_1ST, "Preamplifier 1st stage voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_U_OUT, "Preamplifier output voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_TH1, "Thermistor 1 voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_TH2, "Thermistor 2 voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_SUP_PLUS, "Module supply positive voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_SUP_MINUS, "Module supply negative voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_FAN_PLUS, "Module fan voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_TEC_PLUS, "Module TEC positive voltage", false},
    {kModuleMonitor, MODULE_VELTRA_MONITOR_TEC_MINUS, "Module TEC negative voltage", false},
};
constexpr TrendChart kCharts[] = {
    {"DetectorTemperatureChart", "Detector Temperature", kTemperatureChannels, false},
    {"TecChart", "TEC Current and Voltage", kTecChannels, false},
    {"SupplyChart", "Supply Voltages and Currents", kSupplyChannels, false},
    {"ModuleTemperatureChart", "Module Temperature", kModuleTemperatureChannels, true},
    {"ModuleVoltageChart", "Module Voltages", kModuleVoltageChannels, true},
};

bool IsModule(const TrendChannel& channel) { return channel.source == kModuleMonitor; }

size_t ChannelCount(bool module) {
  size_t count = 0;
  for (const TrendChart& chart : kCharts)
    for (const TrendChannel& channel : chart.channels) count += IsModule(channel) == module ? 1 : 0;
  return count;
}

constexpr unsigned kErrorMessage = mb::kOk | mb::kIconStop;

}  // namespace

std::span<const TrendChart> TrendCharts() { return kCharts; }

size_t StreamIndex(const TrendChannel& channel) {
  size_t index = 0;
  for (const TrendChart& chart : kCharts)
    for (const TrendChannel& other : chart.channels) {
      if (&other == &channel) return index;
      if (IsModule(other) == IsModule(channel)) ++index;
    }
  return index;
}

const SampleStream& StreamOf(const SampleStore& store, const TrendChannel& channel) {
  return IsModule(channel) ? store.Module() : store.Controller();
}

std::string RecordingFileName(const std::string& serialText, const LocalDateTime& time) {
  std::string serial = serialText;
  // A device's text never picks the folder a file goes to.
  for (char& c : serial)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d-%02d%02d%02d", time.year, time.month, time.day, time.hour,
                time.minute, time.second);
  return serial + stamp + ".csv";
}

DeviceTrends::DeviceTrends(DeviceConnection& connection, const Seams& seams)
    : connection_(connection),
      seams_(seams),
      store_(ChannelCount(false), ChannelCount(true)),
      recorder_(connection, {seams.tickClock, seams.wallClock, seams.files}),
      began_(seams.wallClock.Now()),
      lastTick_(seams.tickClock.Now()) {
  listenerId_ = connection.Engine().AddRefreshListener([this](GroupMask stored) { Refreshed(stored); });
  connect(&connection, &DeviceConnection::HealthChanged, this, [this](const LinkHealth& health) {
    if (health.state != LinkState::kLive) NotAnswering();
  });
  connect(&recorder_, &Recorder::Changed, this, &DeviceTrends::RecordingChanged);
  // The message waits until the reply that failed to be written has been
  // dispatched: a box must not open inside the engine's dispatch.
  connect(&recorder_, &Recorder::Failed, this, &DeviceTrends::ReportFailure, Qt::QueuedConnection);
}

DeviceTrends::~DeviceTrends() {
  connection_.Engine().RemoveRefreshListener(listenerId_);
  if (recorder_.Recording()) connection_.Engine().WriteLog("Recording stopped: " + recorder_.Path());
}

int64_t DeviceTrends::NowMs() const {
  const uint32_t now = seams_.tickClock.Now();
  elapsedMs_ += static_cast<uint32_t>(now - lastTick_);
  lastTick_ = now;
  return elapsedMs_;
}

void DeviceTrends::Refreshed(GroupMask stored) {
  filled_ |= stored;
  const bool controller = (stored & GroupBit(Group::kFroskTecMonitor)) != 0;
  const bool module = (stored & GroupBit(Group::kModuleVeltraMonitor)) != 0;
  if (!controller && !module) return;
  const int64_t ms = NowMs();
  if (controller) AddControllerSample(ms);
  if (module) AddModuleSample(ms);
  emit SamplesAdded();
}

void DeviceTrends::AddControllerSample(int64_t ms) {
  DeviceEngine& engine = connection_.Engine();
  // The settings beside the monitor are those the user view shows, once they were read.
  const Group userSet = engine.ModuleTypeSnapshot() < kModuleWithMemory ? Group::kNoMemUserSet : Group::kModuleUserSet;
  const bool settingsRead = engine.ModuleTypeSnapshot() >= kModuleNoMem && (filled_ & GroupBit(userSet)) != 0;
  std::array<int32_t, SampleStream::kMaxChannels> values{};
  size_t count = 0;
  for (const TrendChart& chart : kCharts)
    for (const TrendChannel& channel : chart.channels) {
      if (channel.source == kControllerMonitor)
        values[count++] = engine.FroskTecMonitor().At(channel.field).GetAsInt();
      else if (channel.source == kControllerSetting)
        values[count++] = settingsRead ? engine.ControllerSettings().userSet.At(channel.field).GetAsInt() : kNoValue;
    }
  store_.Controller().Add(ms, std::span(values.data(), count));
  store_.AddStatus(ms, engine.FroskTecMonitor().At(FROSKTEC_MONITOR_STATUS).GetAsInt());
}

void DeviceTrends::AddModuleSample(int64_t ms) {
  DeviceEngine& engine = connection_.Engine();
  std::array<int32_t, SampleStream::kMaxChannels> values{};
  size_t count = 0;
  for (const TrendChart& chart : kCharts)
    for (const TrendChannel& channel : chart.channels)
      if (IsModule(channel)) values[count++] = engine.ModuleVeltraMonitor().At(channel.field).GetAsInt();
  store_.Module().Add(ms, std::span(values.data(), count));
}

void DeviceTrends::NotAnswering() {
  store_.Break();
  recorder_.NotAnswering();
  emit SamplesAdded();
}

bool DeviceTrends::StartRecording() {
  DeviceEngine& engine = connection_.Engine();
  const std::string folder = RecordingFolder();
  const auto refuse = [&](const std::string& where, const std::string& why) {
    engine.Questions().ShowMessageBox("Recording could not start !\r" + where + ": " + why, kErrorMessage);
    return false;
  };
  if (!connection_.IsOpen()) return refuse(connection_.PortName(), "the device is not connected");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return refuse(folder, error.message());

  const std::string name =
      RecordingFileName(engine.DeviceIden().At(DEVICE_IDEN_SERIAL).ValueToText(), seams_.wallClock.Now());
  const std::string stem = folder + "/" + name.substr(0, name.size() - 4);
  // Two recordings started within one second each get a file of their own.
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::string path = stem + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ".csv";
    std::string why;
    switch (recorder_.Start(path, MonitorCsvWriter::Mode::kNew, &why)) {
      case MonitorCsvWriter::Opened::kYes: engine.WriteLog("Recording to " + path); return true;
      case MonitorCsvWriter::Opened::kRefused: continue;
      case MonitorCsvWriter::Opened::kFailed: return refuse(path, why);
    }
  }
  return refuse(stem + ".csv", "exists already");
}

bool DeviceTrends::ChooseRecordingFolder() {
  const std::optional<std::string> folder = connection_.Engine().Questions().AskFolder(RecordingFolder());
  if (!folder || folder->empty()) return false;
  seams_.settings.RecordingFolder = *folder;
  emit RecordingChanged();
  return true;
}

void DeviceTrends::ReportFailure(const QString& why) {
  const std::string text = why.toStdString();
  connection_.Engine().WriteLog("Recording stopped: " + text);
  connection_.Engine().Questions().ShowMessageBox("Recording stopped !\r" + text, kErrorMessage);
}

}  // namespace frosk
