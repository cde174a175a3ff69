#include "trends/recorder.h"

namespace frosk {

Recorder::Recorder(DeviceConnection& connection, const Seams& seams)
    : connection_(&connection), seams_(seams), writer_(seams.files) {
  listenerId_ = connection.Engine().AddRefreshListener([this](GroupMask stored) { Refreshed(stored); });
  // A device disconnected or lost ends its recording with it.
  connect(&connection, &QObject::destroyed, this, [this] {
    listenerId_ = 0;
    Stop();
  });
}

Recorder::~Recorder() {
  if (connection_ != nullptr && listenerId_ != 0) connection_->Engine().RemoveRefreshListener(listenerId_);
  writer_.Close();
}

MonitorCsvWriter::Opened Recorder::Start(const std::string& path, MonitorCsvWriter::Mode mode, std::string* why) {
  Stop();
  if (connection_ == nullptr || listenerId_ == 0) {
    if (why != nullptr) *why = "the device is no longer connected";
    return MonitorCsvWriter::Opened::kFailed;
  }
  const MonitorCsvWriter::Opened opened = writer_.Open(path, mode, why);
  lastTick_ = seams_.tickClock.Now();
  elapsedMs_ = 0;
  notAnswering_ = false;
  emit Changed();
  return opened;
}

void Recorder::Stop() {
  if (!writer_.IsOpen()) return;
  writer_.Close();
  emit Changed();
}

// The tick count wraps every 49 days; a recording left running longer goes on
// counting from where it was.
uint64_t Recorder::ElapsedMs() {
  const uint32_t now = seams_.tickClock.Now();
  elapsedMs_ += now - lastTick_;
  lastTick_ = now;
  return elapsedMs_;
}

void Recorder::NotAnswering() {
  if (!writer_.IsOpen() || notAnswering_) return;
  notAnswering_ = true;
  Write(NoReplyCsvRow(seams_.wallClock.Now(), ElapsedMs()));
}

void Recorder::Refreshed(GroupMask stored) {
  if (!writer_.IsOpen() || connection_ == nullptr) return;
  for (const Group group : {Group::kFroskTecMonitor, Group::kModuleVeltraMonitor}) {
    if ((stored & GroupBit(group)) == 0) continue;
    notAnswering_ = false;
    Write(MonitorCsvRow(connection_->Engine(), group, seams_.wallClock.Now(), ElapsedMs()));
    if (!writer_.IsOpen()) return;
  }
}

void Recorder::Write(const std::string& row) {
  std::string why;
  if (writer_.WriteRow(row, &why)) {
    emit Changed();
    return;
  }
  emit Changed();
  emit Failed(QString::fromStdString(writer_.Path() + ": " + why));
}

}  // namespace frosk
