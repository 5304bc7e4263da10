// The client side on Linux: the listener's abstract Unix socket.
//
// connect() succeeds as soon as the server's listening socket queues the
// connection, whether or not the server is free, so "busy" cannot come
// from connect. A busy server accepts and closes the newcomer at once
// (pipe_endpoint_linux.cpp) and never writes to a client, so anything that
// becomes readable on a fresh connection is that refusal's end of stream.
// The client therefore looks for it for a short while after connecting:
// the refusal needs one wake-up of the listener thread, microseconds, and
// kBusyCheckMs leaves room for a loaded machine and the sanitizers. A
// refusal later than that shows as a failed write (kServerGone).
#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "pipe/pipe_client.h"
#include "pipe/pipe_name.h"
#include "pipe/pipe_socket_address.h"

struct PipeConnection {
  int socket;
};

namespace {

constexpr int kBusyCheckMs = 50;

void Describe(int error, ShortText* detail) {
  if (detail != nullptr) detail->Set(std::strerror(error));
}

// True when the server closed a connection that it had just accepted.
bool RefusedAtOnce(int socket) {
  pollfd watched{socket, POLLIN | POLLRDHUP, 0};
  int ready;
  do {
    ready = poll(&watched, 1, kBusyCheckMs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

}  // namespace

const char* PipeDisplayName() { return "the abstract socket @" PIPE_NAME; }

PipeStatus PipeConnectTo(const char* name, PipeConnection** connection, ShortText* detail) {
  *connection = nullptr;
  const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (client < 0) {
    Describe(errno, detail);
    return PipeStatus::kFailed;
  }
  sockaddr_un address;
  const socklen_t length = AbstractSocketAddress(name, &address);
  // Without waiting: a blocking connect to a server whose queue is full
  // (stopped, or wedged) waits until it has room, for good, and a signal
  // only starts that wait again. A full queue is a busy server: the caller
  // tries again, for as long as it means to.
  int result = connect(client, reinterpret_cast<const sockaddr*>(&address), length);
  if (result != 0 && errno == EAGAIN) {
    if (detail != nullptr) detail->Set("the server takes no connection now (its queue is full)");
    close(client);
    return PipeStatus::kBusy;
  }
  if (result != 0) {
    const int error = errno;
    Describe(error, detail);
    close(client);
    // An abstract name that nobody has bound refuses the connection.
    return (error == ECONNREFUSED || error == ENOENT) ? PipeStatus::kNoServer : PipeStatus::kFailed;
  }
  // Writes block again, as the lines' single writes expect.
  fcntl(client, F_SETFL, fcntl(client, F_GETFL) & ~O_NONBLOCK);
  if (RefusedAtOnce(client)) {
    if (detail != nullptr) detail->Set("the server is serving another client");
    close(client);
    return PipeStatus::kBusy;
  }
  *connection = static_cast<PipeConnection*>(std::malloc(sizeof(PipeConnection)));
  if (*connection == nullptr) {
    close(client);
    if (detail != nullptr) detail->Set("out of memory");
    return PipeStatus::kFailed;
  }
  (*connection)->socket = client;
  return PipeStatus::kOk;
}

PipeStatus PipeWrite(PipeConnection* connection, const char* bytes, size_t count, ShortText* detail) {
  // A write blocks only while the server reads nothing; a signal that
  // comes meanwhile ends it (kFailed), so that Ctrl-C or SIGTERM is heard.
  const ssize_t sent = send(connection->socket, bytes, count, MSG_NOSIGNAL);  // EPIPE, not SIGPIPE.
  if (sent == static_cast<ssize_t>(count)) return PipeStatus::kOk;
  if (sent >= 0) {
    if (detail != nullptr) detail->Set("short write");
    return PipeStatus::kFailed;
  }
  const int error = errno;
  Describe(error, detail);
  return (error == EPIPE || error == ECONNRESET) ? PipeStatus::kServerGone : PipeStatus::kFailed;
}

// On a Unix stream socket the bytes stay charged to the sender until the
// receiver has read them: an empty output queue means all were read. Yields
// first, as the server keeps up within microseconds, then sleeps (the
// sanitizers), for up to about ten seconds.
bool PipeWaitDrained(PipeConnection* connection) {
  for (int round = 0; round < 200000; ++round) {
    int queued = 0;
    if (ioctl(connection->socket, SIOCOUTQ, &queued) != 0) return false;
    if (queued == 0) return true;
    if (round < 1000) {
      sched_yield();
    } else {
      usleep(50);
    }
  }
  return false;
}

void PipeDisconnect(PipeConnection* connection) {
  if (connection == nullptr) return;
  close(connection->socket);
  std::free(connection);
}
