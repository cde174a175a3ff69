#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <string>

#include "common/tick_clock.h"
#include "common/wall_clock.h"
#include "device/device_connection.h"
#include "trends/monitor_csv.h"

namespace frosk {

// Records one device's monitor replies into a file while it runs: a row per
// reply as the connection's engine stores it, and a NO_REPLY row for each
// stretch in which the device does not answer. The desktop program's record
// button and froskctl's monitor --output both record through it. It ends with
// its connection: a device disconnected or lost stops its recording.
class Recorder : public QObject {
  Q_OBJECT

 public:
  struct Seams {
    const TickClock& tickClock;  // the ms column
    const WallClock& wallClock;  // the time column
    FileCalls& files;
  };

  Recorder(DeviceConnection& connection, const Seams& seams);
  ~Recorder() override;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Starts recording into `path`. Anything but kYes comes with the reason in `why`.
  MonitorCsvWriter::Opened Start(const std::string& path, MonitorCsvWriter::Mode mode, std::string* why);
  // Ends the recording; every row written stays.
  void Stop();

  bool Recording() const { return writer_.IsOpen(); }
  // The file of the running or last recording, and its size.
  const std::string& Path() const { return writer_.Path(); }
  uint64_t Size() const { return writer_.Size(); }

  // The device stopped answering: the first call of a stretch writes its
  // NO_REPLY row; the next reply ends the stretch.
  void NotAnswering();

 signals:
  // Started, stopped or grown by a row.
  void Changed();
  // The file took no more (a full disk): the recording has stopped, every
  // row before the failure stays. `why` names the file and the system's reason.
  void Failed(const QString& why);

 private:
  void Refreshed(GroupMask stored);
  void Write(const std::string& row);
  uint64_t ElapsedMs();

  QPointer<DeviceConnection> connection_;
  Seams seams_;
  MonitorCsvWriter writer_;
  int listenerId_ = 0;
  uint32_t lastTick_ = 0;
  uint64_t elapsedMs_ = 0;
  bool notAnswering_ = false;
};

}  // namespace frosk
