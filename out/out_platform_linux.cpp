#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "out/out_platform.h"

struct SenderThread {
  std::mutex lock;
  std::condition_variable changed;
  bool woken = false;
  bool ended = false;
  std::thread thread;
};

bool StartSenderThread(SenderThread** slot, void (*body)(void*), void* arg) {
  SenderThread* sender = new SenderThread;
  *slot = sender;
  sender->thread = std::thread([sender, body, arg] {
    body(arg);
    std::lock_guard<std::mutex> hold(sender->lock);
    sender->ended = true;
    sender->changed.notify_all();
  });
  sender->thread.detach();  // Joined by waiting for ended, with a limit.
  return true;
}

void WakeSender(SenderThread* sender) {
  std::lock_guard<std::mutex> hold(sender->lock);
  sender->woken = true;
  sender->changed.notify_all();
}

bool WaitForWake(SenderThread* sender, uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(sender->lock);
  sender->changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [sender] { return sender->woken; });
  const bool woken = sender->woken;
  sender->woken = false;
  return woken;
}

bool JoinSenderThread(SenderThread* sender, uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(sender->lock);
  return sender->changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [sender] { return sender->ended; });
}

uint32_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool StartNetworking() { return true; }

intptr_t OpenUdpSender(bool broadcast, bool multicast, uint32_t interfaceAddress) {
  const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return -1;
  const int on = 1;
  if (broadcast) setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  if (multicast) {
    const unsigned char ttl = 8;  // Past a few routers of a lighting network.
    setsockopt(socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    if (interfaceAddress != 0) {
      in_addr local{};
      local.s_addr = htonl(interfaceAddress);
      setsockopt(socket, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
    }
  }
  return socket;
}

int SendUdp(intptr_t socket, uint32_t address, uint16_t port, const uint8_t* data, size_t length) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  const ssize_t sent = ::sendto(int(socket), data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
  return sent == ssize_t(length) ? 0 : (sent < 0 ? errno : EMSGSIZE);
}

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

void ReportOutputFault(const char* output, const char* what, int error) {
  if (error != 0)
    std::fprintf(stderr, "pipeserver: %s: %s: %s (retrying)\n", output, what, std::strerror(error));
  else
    std::fprintf(stderr, "pipeserver: %s: %s (retrying)\n", output, what);
}
