#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/file_replace.h"
#include "common/tick_clock.h"
#include "common/wall_clock.h"
#include "device/device_connection.h"
#include "protocol/value_types.h"
#include "settings/settings_store.h"
#include "trends/recorder.h"
#include "trends/sample_store.h"

namespace frosk {

// Where a charted value comes from: a monitor reply, or the setting in force
// when the controller's reply came (the setpoint beside the temperature).
enum class TrendSource : uint8_t { kControllerMonitor, kControllerSetting, kModuleMonitor };

struct TrendChannel {
  TrendSource source;
  Key field;
  const char* label;
  bool rightAxis;  // the chart's second unit
};

// One chart of the trends window and the channels it draws.
struct TrendChart {
  const char* name;  // objectName of its view
  const char* title;
  std::span<const TrendChannel> channels;
  bool module;  // shown only while the module reports its monitor
};

// The charts, top to bottom, on one time axis. The sample store's channels
// are these channels in this order, a stream per monitor record.
std::span<const TrendChart> TrendCharts();
// A channel's index in its stream.
size_t StreamIndex(const TrendChannel& channel);
const SampleStream& StreamOf(const SampleStore& store, const TrendChannel& channel);

// The file name a recording of the controller with this serial text gets when
// it starts at `time`: "SERIAL_YYYYmmdd-HHMMSS.csv".
std::string RecordingFileName(const std::string& serialText, const LocalDateTime& time);

// The trends of one connected controller: every monitor reply becomes a sample
// from the moment it connects, whether a window shows them or not, and its
// recording runs here. Its device window owns it, so it lives as long as the
// device stays connected.
class DeviceTrends : public QObject {
  Q_OBJECT

 public:
  struct Seams {
    const TickClock& tickClock;
    const WallClock& wallClock;
    Settings& settings;  // RecordingFolder
    FileCalls& files = FileCalls::System();
  };

  DeviceTrends(DeviceConnection& connection, const Seams& seams);
  ~DeviceTrends() override;

  DeviceConnection& Connection() { return connection_; }
  const SampleStore& Samples() const { return store_; }
  // The sample store's time now, in ms since the trends began.
  int64_t NowMs() const;
  // The wall-clock time at which the trends began, for the time axis.
  const LocalDateTime& Began() const { return began_; }

  Recorder& Recording() { return recorder_; }
  // Records into a new file in the recording folder, which is made when
  // missing. A folder or file that cannot be written is named in a message
  // and nothing is recorded.
  bool StartRecording();
  void StopRecording() { recorder_.Stop(); }
  // The folder recordings go to; the choice is kept in the settings.
  std::string RecordingFolder() const { return RecordingFolderOf(seams_.settings); }
  bool ChooseRecordingFolder();

  // The device stopped answering: lines break, and a running recording notes
  // the stretch.
  void NotAnswering();

 signals:
  // New samples or marks.
  void SamplesAdded();
  // A recording started, stopped or grew.
  void RecordingChanged();

 private:
  void Refreshed(GroupMask stored);
  void AddControllerSample(int64_t ms);
  void AddModuleSample(int64_t ms);
  void ReportFailure(const QString& why);

  DeviceConnection& connection_;
  Seams seams_;
  SampleStore store_;
  Recorder recorder_;
  LocalDateTime began_;
  int listenerId_ = 0;
  mutable uint32_t lastTick_;
  mutable int64_t elapsedMs_ = 0;
  // The groups replies have filled since the device connected.
  GroupMask filled_ = 0;
};

}  // namespace frosk
