// The server's end on Linux: a Unix stream socket in the abstract namespace,
// standing in for the Windows pipe. Like the pipe it admits a single server
// (a second copy cannot bind the name) and serves one client at a time: a
// client that connects while another is served is accepted and closed at
// once, never left queued to have its lines read after the first has gone.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "pipe/pipe_endpoint.h"
#include "pipe/pipe_name.h"
#include "pipe/pipe_socket_address.h"

struct PipeServer {
  int listening;
  int client;  // -1 while no client is served.
};

namespace {

// The abstract namespace has no file permissions: anyone on the machine
// could connect. Only this user (or root) may drive the lamps.
bool PeerIsTrusted(int client) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
  return peer.uid == geteuid() || peer.uid == 0;
}

// The listening socket does not block, so that a client that gave up
// between poll and accept never stalls the listener: -1 with EAGAIN then.
int AcceptPending(int listening) { return accept4(listening, nullptr, nullptr, SOCK_CLOEXEC); }

// The client sees the end of its connection at once (poll reports the
// hang-up) and its writes fail: that is how it tells "busy".
void RefusePending(int listening) {
  const int refused = AcceptPending(listening);
  if (refused >= 0) close(refused);
}

}  // namespace

PipeServer* PipeServerCreate(const char* name, long* error) {
  const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listening < 0) {
    *error = errno;
    return nullptr;
  }
  sockaddr_un address;
  const socklen_t length = AbstractSocketAddress(name, &address);
  // EADDRINUSE here means another copy already serves the name.
  if (bind(listening, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      listen(listening, 1) != 0) {
    *error = errno;
    close(listening);
    return nullptr;
  }
  return new PipeServer{listening, -1};
}

bool PipeServerWaitClient(PipeServer* server) {
  for (;;) {
    pollfd waiting{server->listening, POLLIN, 0};
    if (poll(&waiting, 1, -1) < 0 && errno != EINTR) return false;
    const int client = AcceptPending(server->listening);
    if (client < 0) {
      // Nobody there after all (EAGAIN), or a client that gave up while
      // queued: neither is a failure that would repeat.
      if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) return false;
      continue;
    }
    if (!PeerIsTrusted(client)) {
      close(client);  // Refused unread: the lamps and the status text stay.
      continue;
    }
    server->client = client;
    return true;
  }
}

long PipeServerRead(PipeServer* server, unsigned char* bytes) {
  for (;;) {
    pollfd watched[] = {{server->client, POLLIN, 0}, {server->listening, POLLIN, 0}};
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    // The served client first: when it has gone and another came just
    // after, the newcomer stays queued and is the next one served.
    if (watched[0].revents != 0) {
      const ssize_t received = recv(server->client, bytes, kPipeReadSize, 0);
      if (received < 0 && errno == EINTR) continue;
      return received > 0 ? long(received) : -1;  // 0: the client closed its end.
    }
    if (watched[1].revents & POLLIN) RefusePending(server->listening);
  }
}

bool PipeServerDisconnect(PipeServer* server) {
  close(server->client);
  server->client = -1;
  return true;
}

void PipeServerClose(PipeServer* server) {
  if (server == nullptr) return;
  if (server->client >= 0) close(server->client);
  close(server->listening);
  delete server;
}
