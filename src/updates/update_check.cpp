#include "updates/update_check.h"

#include <QTcpSocket>
#include <charconv>

#include "common/program_version.h"

namespace frosk {

namespace {

// Names under ".invalid" never resolve; asking a name server about them would
// only send traffic off the machine.
bool IsInvalidName(std::string_view host) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  constexpr std::string_view kSuffix = "invalid";
  if (host.size() < kSuffix.size()) return false;
  for (size_t i = 0; i < kSuffix.size(); ++i) {
    const char c = host[host.size() - kSuffix.size() + i];
    if ((c | 0x20) != kSuffix[i]) return false;
  }
  return host.size() == kSuffix.size() || host[host.size() - kSuffix.size() - 1] == '.';
}

std::optional<uint16_t> ParsePort(std::string_view text) {
  uint16_t port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || port == 0) return std::nullopt;
  return port;
}

}  // namespace

std::optional<UpdateServer> ParseUpdateServer(std::string_view text) {
  std::string_view host = text;
  std::optional<std::string_view> port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return std::nullopt;
    if (!rest.empty()) port = rest.substr(1);
  } else if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (host.empty()) return std::nullopt;
  UpdateServer server;
  server.host = std::string(host);
  if (port) {
    const std::optional<uint16_t> number = ParsePort(*port);
    if (!number) return std::nullopt;
    server.port = *number;
  }
  return server;
}

UpdateCheck::UpdateCheck(const TickClock& clock, UpdateServer server, QObject* parent)
    : QObject(parent), clock_(clock), server_(std::move(server)) {}

UpdateCheck::~UpdateCheck() { DropSocket(); }

bool UpdateCheck::StartUpdateCheck() {
  DropSocket();
  running_ = true;
  closed_ = false;
  reply_.clear();
  startTick_ = clock_.Now();
  if (IsInvalidName(server_.host)) {
    closed_ = true;  // fails at the next poll, as an unknown host would
    return true;
  }
  socket_ = new QTcpSocket(this);
  // Bounds what the socket holds for us; the rest waits in the kernel.
  socket_->setReadBufferSize(kMaxReplyBytes);
  connect(socket_, &QTcpSocket::connected, this, &UpdateCheck::ClientSocketWrite);
  connect(socket_, &QTcpSocket::readyRead, this, &UpdateCheck::ClientSocketRead);
  connect(socket_, &QTcpSocket::errorOccurred, this, &UpdateCheck::ClientSocketError);
  connect(socket_, &QTcpSocket::disconnected, this, &UpdateCheck::ClientSocketDisconnect);
  socket_->connectToHost(QString::fromStdString(server_.host), server_.port);
  return true;
}

void UpdateCheck::Poll() { FinishWhenDue(); }

void UpdateCheck::ClientSocketWrite() { SendUpdateRequest(); }

void UpdateCheck::ClientSocketRead() {
  if (!running_ || socket_ == nullptr) return;
  const bool first = reply_.empty();
  if (reply_.size() < kMaxReplyBytes) {
    const QByteArray bytes = socket_->read(static_cast<qint64>(kMaxReplyBytes - reply_.size()));
    reply_.append(bytes.constData(), static_cast<size_t>(bytes.size()));
  }
  if (first && !reply_.empty()) firstDataTick_ = clock_.Now();
  FinishWhenDue();
}

// The server's close shows up as an error too; both end the reply.
void UpdateCheck::ClientSocketError(QAbstractSocket::SocketError) {
  closed_ = true;
  FinishWhenDue();
}

void UpdateCheck::ClientSocketDisconnect() {
  closed_ = true;
  FinishWhenDue();
}

bool UpdateCheck::SendUpdateRequest() {
  if (socket_ == nullptr || socket_->state() != QAbstractSocket::ConnectedState) return false;
  const std::string request = UpdateRequestText(server_.host, server_.port);
  socket_->write(request.data(), static_cast<qint64>(request.size()));
  return true;
}

void UpdateCheck::FinishWhenDue() {
  if (!running_) return;
  const uint32_t now = clock_.Now();
  if (now - startTick_ > kGiveUpMs) return Finish(kUpdateFailed);
  if (reply_.empty()) {
    if (closed_) Finish(kUpdateFailed);
    return;
  }
  if (now - firstDataTick_ < kReadPauseMs) return;
  if (!closed_ && reply_.size() < kMaxReplyBytes && !UpdateReplyComplete(reply_)) return;
  UpdateInfo parsed;
  if (!ParseUpdateReply(reply_, parsed)) return Finish(kUpdateFailed);
  info_ = std::move(parsed);
  Finish(ProgramBuild < info_.build ? kUpdateAvailable : kUpToDate);
}

void UpdateCheck::Finish(UpdateResultCode result) {
  running_ = false;
  DropSocket();
  reply_.clear();
  emit Finished(result);
}

void UpdateCheck::DropSocket() {
  if (socket_ == nullptr) return;
  socket_->disconnect(this);
  socket_->abort();
  socket_->deleteLater();
  socket_ = nullptr;
}

}  // namespace frosk
