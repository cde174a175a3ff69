#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/tick_clock.h"
#include "updates/update_reply.h"

class QTcpSocket;

namespace frosk {

// Where the update check connects. No maker's server is named yet, so the
// default host can never resolve; tests and demos pass a local one.
struct UpdateServer {
  std::string host = "updates.froskmanager.invalid";
  uint16_t port = 80;
};

// "HOST" or "HOST:PORT" ("[ADDRESS]:PORT" for IPv6), as --update-server takes it.
std::optional<UpdateServer> ParseUpdateServer(std::string_view text);

// One HTTP request to the update server and the reading of its reply. The
// socket's events arrive through the event loop; Poll, called on every tick,
// measures the pauses on the tick clock, so nothing ever sleeps.
//
// The reply is read once: when the server closes, when its Content-Length has
// arrived, or at 64 KiB, whichever comes first, but never sooner than 500 ms
// after its first bytes, as a reply may come in several pieces. A check that has no result 10 s after it started
// fails, so a silent server cannot hold up the start-up scan.
class UpdateCheck : public QObject {
  Q_OBJECT

 public:
  static constexpr uint32_t kReadPauseMs = 500;
  static constexpr uint32_t kGiveUpMs = 10000;
  static constexpr size_t kMaxReplyBytes = size_t{64} * 1024;

  UpdateCheck(const TickClock& clock, UpdateServer server, QObject* parent = nullptr);
  ~UpdateCheck() override;

  // Drops a check still running (it reports nothing more) and starts a new
  // one. The result arrives later through Finished.
  bool StartUpdateCheck();
  void Poll();

  bool Running() const { return running_; }
  // The last reply that parsed; it stays when a later check fails.
  const UpdateInfo& Info() const { return info_; }
  const UpdateServer& Server() const { return server_; }

 signals:
  // Once per started check: kUpdateFailed, kUpdateAvailable or kUpToDate.
  void Finished(int result);

 private:
  void ClientSocketWrite();
  void ClientSocketRead();
  void ClientSocketError(QAbstractSocket::SocketError error);
  void ClientSocketDisconnect();
  bool SendUpdateRequest();
  void FinishWhenDue();
  void Finish(UpdateResultCode result);
  void DropSocket();

  const TickClock& clock_;
  const UpdateServer server_;
  QTcpSocket* socket_ = nullptr;
  bool running_ = false;
  bool closed_ = false;
  uint32_t startTick_ = 0;
  uint32_t firstDataTick_ = 0;
  std::string reply_;
  UpdateInfo info_;
};

}  // namespace frosk
