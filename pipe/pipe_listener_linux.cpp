// The listener on Linux: a Unix stream socket named "tormelin" in the
// abstract namespace, standing in for the Windows pipe. Like the pipe it
// serves one client at a time, reads at most 18 bytes at once and admits a
// single server: a second copy cannot bind the name.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "lights/light_control.h"
#include "pipe/line_framing.h"
#include "pipe/pipe_error_box.h"
#include "pipe/pipe_listener.h"

namespace {

constexpr char kSocketName[] = "tormelin";
constexpr size_t kReadSize = 18;  // As the pipe's reads.

// Binds the abstract name: a leading zero byte, then the name with no
// terminating zero, and an address length that covers exactly that.
int BindAbstractName(int server) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, kSocketName, sizeof kSocketName - 1);
  const socklen_t length = offsetof(sockaddr_un, sun_path) + 1 + sizeof kSocketName - 1;
  return bind(server, reinterpret_cast<const sockaddr*>(&address), length);
}

// Waits for the next client. Returns -1 only for a failure that would
// repeat; a client that gave up while queued is not one.
int AcceptClient(int server) {
  for (;;) {
    const int client = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) return client;
    if (errno != EINTR && errno != ECONNABORTED) return -1;
  }
}

// The abstract namespace has no file permissions: anyone on the machine
// could connect. Only this user (or root) may drive the lamps.
bool PeerIsTrusted(int client) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
  return peer.uid == geteuid() || peer.uid == 0;
}

// Reads until the client closes its end (a read of 0 bytes on a socket) or
// a read fails, applying at most one line per read.
void ServeClient(int client) {
  unsigned char bytes[kReadSize];
  char line[kMaxLineLength + 1];
  for (;;) {
    const ssize_t received = recv(client, bytes, kReadSize, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return;
    if (FrameOneRead(bytes, static_cast<size_t>(received), line)) ApplyLightLine(line);
  }
}

}  // namespace

int PipeListenThread(void* owner) {
  ClearLampBanks();
  ApplyLightLine(">???");

  const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (server < 0) {
    ShowPipeError(owner, errno);
    return 0;
  }
  // EADDRINUSE here means another copy already serves the name.
  if (BindAbstractName(server) != 0 || listen(server, 1) != 0) {
    const int error = errno;
    close(server);
    ShowPipeError(owner, error);
    return 0;
  }

  for (;;) {
    const int client = AcceptClient(server);
    if (client < 0) break;  // As a failed disconnection of the pipe: end quietly.
    if (!PeerIsTrusted(client)) {
      close(client);  // Refused unread: the lamps and the status text stay.
      continue;
    }
    ServeClient(client);
    ApplyLightLine(">xxx");
    close(client);
  }

  close(server);
  return 0;
}
