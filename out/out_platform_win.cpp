// Winsock 2 as Windows NT 4.0 and 95 (with its Winsock 2 update) have it,
// and the KERNEL32 calls the program already makes.
#include <winsock2.h>
#include <windows.h>

#include "out/out_platform.h"

struct SenderThread {
  HANDLE thread;
  HANDLE wake;  // Auto-reset: one wake ends one wait.
  void (*body)(void*);
  void* arg;
};

namespace {

DWORD WINAPI SenderMain(void* parameter) {
  SenderThread* sender = static_cast<SenderThread*>(parameter);
  sender->body(sender->arg);
  return 0;
}

}  // namespace

bool StartSenderThread(SenderThread** slot, void (*body)(void*), void* arg) {
  *slot = nullptr;
  SenderThread* sender = static_cast<SenderThread*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SenderThread)));
  if (sender == nullptr) return false;
  sender->body = body;
  sender->arg = arg;
  sender->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // Auto-reset, not signalled.
  if (sender->wake == nullptr) return false;
  *slot = sender;
  DWORD id = 0;
  sender->thread = CreateThread(nullptr, 0, SenderMain, sender, 0, &id);
  if (sender->thread == nullptr) *slot = nullptr;
  return *slot != nullptr;
}

void WakeSender(SenderThread* sender) { SetEvent(sender->wake); }

bool WaitForWake(SenderThread* sender, uint32_t milliseconds) {
  return WaitForSingleObject(sender->wake, milliseconds) == WAIT_OBJECT_0;
}

bool JoinSenderThread(SenderThread* sender, uint32_t milliseconds) {
  return WaitForSingleObject(sender->thread, milliseconds) == WAIT_OBJECT_0;
}

uint32_t MonotonicMilliseconds() { return GetTickCount(); }

bool StartNetworking() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

intptr_t OpenUdpSender(bool broadcast, bool multicast, uint32_t interfaceAddress) {
  const SOCKET handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (handle == INVALID_SOCKET) return -1;
  const BOOL on = TRUE;
  if (broadcast) setsockopt(handle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
  if (multicast) {
    const DWORD ttl = 8;  // Past a few routers of a lighting network.
    setsockopt(handle, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl);
    if (interfaceAddress != 0) {
      in_addr local = {};
      local.s_addr = htonl(interfaceAddress);
      setsockopt(handle, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&local), sizeof local);
    }
  }
  return intptr_t(handle);
}

int SendUdp(intptr_t socket, uint32_t address, uint16_t port, const uint8_t* data, size_t length) {
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  const int sent = sendto(SOCKET(socket), reinterpret_cast<const char*>(data), int(length), 0,
                          reinterpret_cast<sockaddr*>(&to), sizeof to);
  return sent == int(length) ? 0 : WSAGetLastError();
}

void CloseUdpSender(intptr_t socket) {
  if (socket != -1) closesocket(SOCKET(socket));
}

bool ResolveHostName(const char* name, uint32_t* address) {
  // gethostbyname: getaddrinfo came with XP, after the oldest systems here.
  const hostent* host = gethostbyname(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) return false;
  in_addr found;
  CopyMemory(&found, host->h_addr_list[0], sizeof found);
  *address = ntohl(found.s_addr);
  return true;
}

void LocalHostName(char* out, size_t size) {
  if (gethostname(out, int(size)) != 0) out[0] = '\0';
  out[size - 1] = '\0';
}

// The program has no console: a fault is retried without a word.
void ReportOutputFault(const char*, const char*, int) {}
