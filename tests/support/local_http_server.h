#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace frosk::test {

// An update server on 127.0.0.1 for tests: it runs on its own thread, so it
// answers while the test's event loop runs or while a child process waits.
// Every connection is served by the same script.
class LocalHttpServer {
 public:
  enum class Mode {
    kReply,        // after the request: the reply, then `padding` filler bytes, then close
    kSilent,       // accept, read the request, never answer
    kCloseAtOnce,  // accept and close without a word
    kTwoPieces,    // the reply up to `splitAt`, the rest after Release(); then hold the connection
  };
  struct Script {
    Mode mode = Mode::kReply;
    std::string reply{};
    size_t padding = 0;
    size_t splitAt = 0;
  };

  explicit LocalHttpServer(Script script);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  uint16_t Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // The bytes of the last request received, up to its empty line.
  std::string LastRequest() const;
  // Lets a kTwoPieces reply go on.
  void Release() { released_ = true; }
  // Bytes written so far on all connections.
  size_t BytesSent() const { return sent_; }
  // Connections accepted so far.
  int Connections() const { return connections_; }

  // A port on 127.0.0.1 that refuses connections.
  static uint16_t ClosedPort();

 private:
  void Serve();
  void Answer(int client);
  bool SendAll(int client, const char* bytes, size_t count);
  bool WaitUntil(const std::atomic<bool>& flag);

  const Script script_;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> released_{false};
  std::atomic<size_t> sent_{0};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::string lastRequest_;
  std::thread thread_;
};

}  // namespace frosk::test
