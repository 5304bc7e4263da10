// The latency benchmark's transport on Linux: the abstract Unix socket.
#include <sched.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "bench/latency_transport.h"

namespace {

const char* const kSocketNames[] = {"tormelin-bare", "tormelin"};  // By Server.
int Clients[] = {-1, -1};
int BareServer = -1;
int BareClient = -1;

socklen_t AbstractAddress(Server server, sockaddr_un* address) {
  const char* name = kSocketNames[int(server)];
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path + 1, name, std::strlen(name));
  return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::strlen(name));
}

}  // namespace

// The abstract name is global per network namespace: without a namespace of
// our own we would bind (or connect to) another program's listener.
bool IsolateTransport() {
  if (unshare(CLONE_NEWNET) == 0) return true;
  std::perror("latency_bench: unshare(CLONE_NEWNET) (run as root or under 'unshare -rn')");
  return false;
}

bool ClientConnect(Server server) {
  sockaddr_un address;
  const socklen_t length = AbstractAddress(server, &address);
  int& client = Clients[int(server)];
  for (int attempt = 0; attempt < 500; ++attempt) {
    client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (client < 0) return false;
    if (connect(client, reinterpret_cast<const sockaddr*>(&address), length) == 0) return true;
    close(client);
    client = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // Server not bound yet.
  }
  return false;
}

bool ClientWrite(Server server, const char* bytes, size_t count) {
  return send(Clients[int(server)], bytes, count, MSG_NOSIGNAL) == static_cast<ssize_t>(count);
}

void ClientClose(Server server) {
  int& client = Clients[int(server)];
  if (client >= 0) close(client);
  client = -1;
}

bool BareOpen() {
  sockaddr_un address;
  const socklen_t length = AbstractAddress(Server::kBare, &address);
  BareServer = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return BareServer >= 0 && bind(BareServer, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
         listen(BareServer, 1) == 0;
}

bool BareAccept() {
  BareClient = accept4(BareServer, nullptr, nullptr, SOCK_CLOEXEC);
  return BareClient >= 0;
}

long BareRead(unsigned char* bytes, size_t size) {
  ssize_t received;
  do {
    received = recv(BareClient, bytes, size, 0);
  } while (received < 0 && errno == EINTR);
  return received > 0 ? long(received) : -1;
}
