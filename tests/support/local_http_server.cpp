#include "support/local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace frosk::test {

namespace {

int BoundLoopbackSocket(uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

LocalHttpServer::LocalHttpServer(Script script) : script_(std::move(script)) {
  listenFd_ = BoundLoopbackSocket(port_);
  if (listenFd_ < 0 || listen(listenFd_, 8) != 0 || pipe2(wakeFds_, O_CLOEXEC) != 0) return;
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  stopping_ = true;
  if (wakeFds_[1] >= 0) {
    const char byte = 0;
    (void)!write(wakeFds_[1], &byte, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (const int fd : {listenFd_, wakeFds_[0], wakeFds_[1]})
    if (fd >= 0) close(fd);
}

uint16_t LocalHttpServer::ClosedPort() {
  uint16_t port = 0;
  const int fd = BoundLoopbackSocket(port);
  if (fd >= 0) close(fd);  // bound but never listening, then released: nobody accepts there
  return port;
}

std::string LocalHttpServer::LastRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastRequest_;
}

void LocalHttpServer::Serve() {
  while (!stopping_) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) <= 0 || (fds[1].revents != 0)) continue;
    const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ++connections_;
    Answer(client);
    close(client);
  }
}

void LocalHttpServer::Answer(int client) {
  if (script_.mode == Mode::kCloseAtOnce) return;
  std::string request;
  while (request.find("\r\n\r\n") == std::string::npos) {
    pollfd fds[2] = {{client, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) <= 0 || fds[1].revents != 0) return;
    char buffer[512];
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastRequest_ = request;
  }
  const std::atomic<bool> never{false};
  switch (script_.mode) {
    case Mode::kSilent: WaitUntil(never); return;
    case Mode::kTwoPieces:
      if (!SendAll(client, script_.reply.data(), script_.splitAt) || !WaitUntil(released_)) return;
      if (!SendAll(client, script_.reply.data() + script_.splitAt, script_.reply.size() - script_.splitAt)) return;
      WaitUntil(never);
      return;
    default: break;
  }
  if (!SendAll(client, script_.reply.data(), script_.reply.size())) return;
  const std::string filler(64 * 1024, 'x');
  for (size_t left = script_.padding; left > 0;) {
    const size_t chunk = std::min(left, filler.size());
    if (!SendAll(client, filler.data(), chunk)) return;
    left -= chunk;
  }
}

// False when the server is stopping or the client went away.
bool LocalHttpServer::SendAll(int client, const char* bytes, size_t count) {
  while (count > 0) {
    pollfd fds[2] = {{client, POLLOUT, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) <= 0 || fds[1].revents != 0) return false;
    const ssize_t n = send(client, bytes, count, MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<size_t>(n);
    sent_ += static_cast<size_t>(n);
  }
  return true;
}

// Waits for the flag, polling only the wake-up pipe; false when the server stops first.
bool LocalHttpServer::WaitUntil(const std::atomic<bool>& flag) {
  while (!flag) {
    pollfd wake = {wakeFds_[0], POLLIN, 0};
    if (poll(&wake, 1, 10) > 0) return false;
  }
  return true;
}

}  // namespace frosk::test
