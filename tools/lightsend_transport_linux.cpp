// lightsend on Linux: the listener's abstract Unix socket "tormelin".
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>

#include "tools/lightsend_transport.h"

namespace {

constexpr char kSocketName[] = "tormelin";
int Connection = -1;
volatile std::sig_atomic_t InterruptSeen = 0;

void OnInterrupt(int) { InterruptSeen = 1; }

}  // namespace

const char* ServerName() { return "the abstract socket @tormelin"; }

SendStatus ConnectToServer(std::string* detail) {
  Connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (Connection < 0) {
    *detail = std::strerror(errno);
    return SendStatus::kFailed;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;  // sun_path[0] stays 0: the abstract namespace.
  std::memcpy(address.sun_path + 1, kSocketName, sizeof kSocketName - 1);
  const socklen_t length = offsetof(sockaddr_un, sun_path) + 1 + sizeof kSocketName - 1;
  int result;
  do {
    result = connect(Connection, reinterpret_cast<const sockaddr*>(&address), length);
  } while (result != 0 && errno == EINTR && !InterruptSeen);
  if (result == 0) return SendStatus::kOk;
  const int error = errno;
  *detail = std::strerror(error);
  CloseConnection();
  // An abstract name that nobody has bound refuses the connection.
  return (error == ECONNREFUSED || error == ENOENT) ? SendStatus::kNoServer : SendStatus::kFailed;
}

SendStatus SendBytes(const std::string& bytes, std::string* detail) {
  ssize_t sent;
  do {
    sent = send(Connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent == static_cast<ssize_t>(bytes.size())) return SendStatus::kOk;
  if (sent >= 0) {
    *detail = "short write";
    return SendStatus::kFailed;
  }
  *detail = std::strerror(errno);
  return (errno == EPIPE || errno == ECONNRESET) ? SendStatus::kServerGone : SendStatus::kFailed;
}

void CloseConnection() {
  if (Connection >= 0) close(Connection);
  Connection = -1;
}

void InstallInterruptHandler() {
  std::signal(SIGPIPE, SIG_IGN);  // EPIPE from send says it better.
  struct sigaction action{};
  action.sa_handler = OnInterrupt;  // No SA_RESTART: a pause ends at once.
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return InterruptSeen != 0; }
