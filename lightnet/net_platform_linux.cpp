// The outputs' sockets, names and texts on Linux (lightnet/net_platform.h).
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "lightnet/net_platform.h"

bool StartNetworking() { return true; }

intptr_t OpenUdpSender(const UdpTarget& target, int* error, const char** what) {
  *what = "cannot open a socket";
  const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    *error = errno;
    return -1;
  }
  const int on = 1;
  bool good = true;
  // The smallest receive buffer: nothing is read, and the connection below
  // already keeps everyone but the receiver out.
  const int smallest = 1;
  setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest);
  if (target.broadcast) good = setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
  if (good && target.multicast) {
    const unsigned char ttl = 8;  // Past a few routers of a lighting network.
    good = setsockopt(socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) == 0;
    if (good && target.interfaceAddress != 0) {
      *what = "cannot use the interface";
      in_addr local{};
      local.s_addr = htonl(target.interfaceAddress);
      good = setsockopt(socket, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local) == 0;
    }
  }
  if (good) {
    *what = "cannot send";  // No route to the receiver shows here, when connecting.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(target.port);
    to.sin_addr.s_addr = htonl(target.address);
    good = connect(socket, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  if (good) return socket;
  *error = errno;
  ::close(socket);
  return -1;
}

int SendUdp(intptr_t socket, const uint8_t* data, size_t length) {
  const ssize_t sent = ::send(int(socket), data, length, MSG_NOSIGNAL);
  return sent == ssize_t(length) ? 0 : (sent < 0 ? errno : EMSGSIZE);
}

bool IsRefusal(int error) { return error == ECONNREFUSED; }

void CloseUdpSender(intptr_t socket) {
  if (socket >= 0) ::close(int(socket));
}

bool IsLocalAddress(uint32_t hostOrderIPv4) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return true;
  bool found = false;
  for (const ifaddrs* at = list; at != nullptr && !found; at = at->ifa_next)
    found = at->ifa_addr != nullptr && at->ifa_addr->sa_family == AF_INET &&
            ntohl(reinterpret_cast<const sockaddr_in*>(at->ifa_addr)->sin_addr.s_addr) == hostOrderIPv4;
  freeifaddrs(list);
  return found;
}

bool ResolveHostName(const char* name, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  *address = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

void LocalHostName(char* out, size_t size) {
  if (gethostname(out, size) != 0) out[0] = '\0';
  out[size - 1] = '\0';
}

void ErrorText(int error, char* out, size_t size) {
  char buffer[128];
  std::snprintf(out, size, "%s", strerror_r(error, buffer, sizeof buffer));  // GNU's: returns the text.
}

void PrintConsoleLine(const char* line) { std::fprintf(stderr, "pipeserver: %s\n", line); }

// --- TCP client ---------------------------------------------------------------

intptr_t OpenTcpClient(uint32_t hostOrderIPv4, uint16_t port, int* error) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket < 0) {
    *error = errno;
    return -1;
  }
  // Each message goes at once, not held back to join the next.
  const int on = 1;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(hostOrderIPv4);
  if (connect(socket, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 || errno == EINPROGRESS) return socket;
  *error = errno;
  ::close(socket);
  return -1;
}

int TcpConnectState(intptr_t socket) {
  pollfd waiting{int(socket), POLLOUT, 0};
  if (poll(&waiting, 1, 0) < 0) return errno;
  if ((waiting.revents & (POLLOUT | POLLERR | POLLHUP)) == 0) return -1;
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(int(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

int SendTcp(intptr_t socket, const uint8_t* data, size_t length) {
  const ssize_t sent = ::send(int(socket), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent == ssize_t(length)) return 0;
  if (sent >= 0) return sent == 0 ? -1 : -2;
  return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : errno;
}

bool TcpClosedByPeer(intptr_t socket, int* error) {
  char dropped[512];
  for (;;) {
    const ssize_t got = ::recv(int(socket), dropped, sizeof dropped, MSG_DONTWAIT);
    if (got > 0) continue;
    if (got == 0) {
      *error = 0;
      return true;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
    *error = errno;
    return true;
  }
}

void CloseTcpClient(intptr_t socket) {
  if (socket >= 0) ::close(int(socket));
}
