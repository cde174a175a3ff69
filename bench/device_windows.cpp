#include "device_windows.h"

#include <malloc.h>
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>

namespace frosk::bench {

namespace {

// Set before the application exists, which picks its platform once.
int& Offscreen(int& argc) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  return argc;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

DeviceWindows::DeviceWindows(int& argc, char** argv)
    : app_(Offscreen(argc), argv), folders_(Folders::Beside(FROSK_BIN_DIR)), valueDialog_(*this) {
  QObject::connect(&tick_, &QTimer::timeout, [this] {
    for (auto& connection : connections_) connection->Tick();
  });
}

DeviceWindows::~DeviceWindows() {
  tick_.stop();
  connections_.clear();
}

bool DeviceWindows::Connect(const std::vector<std::string>& ports) {
  for (const std::string& port : ports) {
    connections_.push_back(std::make_unique<DeviceConnection>(port, links_, DeviceSeams{clock_, *this, *this, folders_},
                                                              static_cast<ConnectionOwner&>(*this)));
    if (!connections_.back()->Open()) return false;
  }
  tick_.start(100);
  return true;
}

std::unique_ptr<TFroskTecViewForm> DeviceWindows::NewWindow(DeviceConnection& connection) {
  return std::make_unique<TFroskTecViewForm>(connection,
                                             DeviceWindowShared{valueDialog_, serialDialog_, wall_, settings_});
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

double CoreShare(int ms) {
  const double cpu = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return (CpuSeconds() - cpu) / (wall.elapsed() / 1000.0);
}

}  // namespace frosk::bench
