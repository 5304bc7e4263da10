#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "tests/soak/soak_client_transport.h"

namespace {

constexpr char kSocketName[] = "tormelin";
int Connection = -1;

}  // namespace

bool Connect() {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, kSocketName, sizeof kSocketName - 1);
  const socklen_t length = offsetof(sockaddr_un, sun_path) + 1 + sizeof kSocketName - 1;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (Connection < 0) return false;
    if (connect(Connection, reinterpret_cast<const sockaddr*>(&address), length) == 0) return true;
    close(Connection);
    Connection = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // Not bound yet.
  }
  return false;
}

// On a Unix stream socket the bytes stay charged to the sender until the
// receiver has read them: an empty output queue means all were read.
bool WriteAndDrain(const unsigned char* bytes, size_t count) {
  if (send(Connection, bytes, count, MSG_NOSIGNAL) != static_cast<ssize_t>(count)) return false;
  for (int wait = 0; wait < 100000; ++wait) {
    int queued = 0;
    if (ioctl(Connection, SIOCOUTQ, &queued) != 0) return false;
    if (queued == 0) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  return false;
}

void Disconnect() {
  if (Connection >= 0) close(Connection);
  Connection = -1;
}
