// frosk-update-sim: an update server on the loopback interface for demos and
// training. It answers every update check with the program's own build, so
// the program finds itself up to date, or with the build given by --build.
// It listens on 127.0.0.1 only and prints the port it got on the first line.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

volatile std::sig_atomic_t stopping = 0;
void Stop(int) { stopping = 1; }

constexpr int kRequestWaitMs = 2000;
constexpr size_t kLongestRequest = 8192;

int Usage(const char* why) {
  std::fprintf(stderr,
               "%s\nusage: frosk-update-sim [--port N] [--build N] [--version TEXT] [--info-page URL]\n"
               "  --port N          listen on 127.0.0.1:N (default: any free port)\n"
               "  --build N         the build the server offers (default 63, the program's own)\n"
               "  --version TEXT    the version it names (default 1.1.8)\n"
               "  --info-page URL   the InfoPage of the reply\n",
               why);
  return 2;
}

std::string Reply(const std::string& version, const std::string& build, const std::string& infoPage) {
  const std::string body =
      "[FroskManager]\r\nVersion=" + version + "\r\nBuild=" + build + "\r\nInstaller=\r\nInfoPage=" + infoPage + "\r\n";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// Reads the request up to its empty line, within a bounded time and size, so
// a client that says nothing cannot hold the server.
bool ReadRequest(int client) {
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kLongestRequest) {
    pollfd wait{client, POLLIN, 0};
    if (poll(&wait, 1, kRequestWaitMs) <= 0) return false;
    const ssize_t got = read(client, buffer, sizeof buffer);
    if (got <= 0) return false;
    request.append(buffer, static_cast<size_t>(got));
  }
  return request.rfind("GET ", 0) == 0;
}

void Answer(int client, const std::string& reply) {
  if (!ReadRequest(client)) return;
  size_t sent = 0;
  while (sent < reply.size()) {
    const ssize_t wrote = send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (wrote <= 0) return;
    sent += static_cast<size_t>(wrote);
  }
}

}  // namespace

int main(int argc, char** argv) {
  long port = 0;
  std::string build = "63";
  std::string version = "1.1.8";
  std::string infoPage;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return Usage("every option takes a value");
    const char* value = argv[++i];
    char* end = nullptr;
    if (option == "--port") {
      port = std::strtol(value, &end, 10);
      if (*value == '\0' || *end != '\0' || port < 0 || port > 65535) return Usage("--port takes 0 to 65535");
    } else if (option == "--build") {
      build = value;
    } else if (option == "--version") {
      version = value;
    } else if (option == "--info-page") {
      infoPage = value;
    } else {
      return Usage("unknown option");
    }
  }

  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int reuse = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t length = sizeof address;
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 8) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::fprintf(stderr, "frosk-update-sim: cannot listen: %s\n", std::strerror(errno));
    return 1;
  }
  std::printf("%u\n", ntohs(address.sin_port));
  std::fflush(stdout);

  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);
  const std::string reply = Reply(version, build, infoPage);
  while (!stopping) {
    pollfd wait{listener, POLLIN, 0};
    if (poll(&wait, 1, 200) <= 0) continue;
    const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Answer(client, reply);
    close(client);
  }
  close(listener);
  return 0;
}
