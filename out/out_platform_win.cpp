// Winsock 2, loaded when the first output starts: the program keeps
// loading where there is no ws2_32.dll (Windows 95 without its Winsock 2
// update), and one without outputs never loads it. Only calls that
// Windows NT 4.0 and 98 have.
#include <winsock2.h>
#include <ws2tcpip.h>  // IP_MULTICAST_IF and _TTL, Winsock 2 values.
#include <windows.h>

#include <cstdlib>
#include <cstring>

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
  SenderThread* sender = static_cast<SenderThread*>(calloc(1, sizeof(SenderThread)));
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

namespace {

// The Winsock calls, looked up once by StartNetworking.
struct Winsock {
  int(WSAAPI* startup)(WORD, WSADATA*);
  int(WSAAPI* lastError)();
  SOCKET(WSAAPI* open)(int, int, int);
  int(WSAAPI* setOption)(SOCKET, int, int, const char*, int);
  int(WSAAPI* bindTo)(SOCKET, const sockaddr*, int);
  int(WSAAPI* sendTo)(SOCKET, const char*, int, int, const sockaddr*, int);
  int(WSAAPI* close)(SOCKET);
  hostent*(WSAAPI* hostByName)(const char*);
  int(WSAAPI* hostName)(char*, int);
  // Optional: the interfaces' list, where the system has it.
  int(WSAAPI* ioctl)(SOCKET, DWORD, void*, DWORD, void*, DWORD, DWORD*, WSAOVERLAPPED*,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE);
} Ws;
bool WsReady;

template <typename Fn>
bool Find(HMODULE dll, const char* name, Fn* slot) {
  *slot = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
  return *slot != nullptr;
}

// Network byte order, without ws2_32's helpers.
uint32_t Big32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}
uint16_t Big16(uint16_t value) { return uint16_t((value >> 8) | (value << 8)); }

}  // namespace

bool StartNetworking() {
  if (WsReady) return true;
  // From the system folder only: never a ws2_32.dll beside the program.
  char path[MAX_PATH + 16];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  strcat(path, "\\ws2_32.dll");
  HMODULE dll = LoadLibraryA(path);
  if (dll == nullptr) return false;
  if (!Find(dll, "WSAStartup", &Ws.startup) || !Find(dll, "WSAGetLastError", &Ws.lastError) ||
      !Find(dll, "socket", &Ws.open) || !Find(dll, "setsockopt", &Ws.setOption) ||
      !Find(dll, "bind", &Ws.bindTo) || !Find(dll, "sendto", &Ws.sendTo) ||
      !Find(dll, "closesocket", &Ws.close) || !Find(dll, "gethostbyname", &Ws.hostByName) ||
      !Find(dll, "gethostname", &Ws.hostName))
    return false;
  Find(dll, "WSAIoctl", &Ws.ioctl);
  WSADATA data;
  WsReady = Ws.startup(MAKEWORD(2, 0), &data) == 0;
  return WsReady;
}

intptr_t OpenUdpSender(bool broadcast, bool multicast, uint32_t interfaceAddress) {
  if (!WsReady) return -1;
  const SOCKET handle = Ws.open(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (handle == INVALID_SOCKET) return -1;
  const BOOL on = TRUE;
  if (broadcast) Ws.setOption(handle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
  if (multicast) {
    const DWORD ttl = 8;  // Past a few routers of a lighting network.
    Ws.setOption(handle, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl);
    if (interfaceAddress != 0) {
      in_addr local = {};
      local.s_addr = Big32(interfaceAddress);
      Ws.setOption(handle, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&local), sizeof local);
    }
  }
  return intptr_t(handle);
}

int SendUdp(intptr_t socket, uint32_t address, uint16_t port, const uint8_t* data, size_t length) {
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = Big16(port);
  to.sin_addr.s_addr = Big32(address);
  const int sent = Ws.sendTo(SOCKET(socket), reinterpret_cast<const char*>(data), int(length), 0,
                             reinterpret_cast<sockaddr*>(&to), sizeof to);
  return sent == int(length) ? 0 : Ws.lastError();
}

void CloseUdpSender(intptr_t socket) {
  if (socket != -1) Ws.close(SOCKET(socket));
}

// The system's list of its interfaces' addresses; where it has none (or
// more than fit here), a bind: only an address of this computer's own can
// be bound to, any other fails with WSAEADDRNOTAVAIL (Wine binds any
// address, but has the list).
bool IsLocalAddress(uint32_t hostOrderIPv4) {
  if (!StartNetworking()) return true;
  const SOCKET handle = Ws.open(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (handle == INVALID_SOCKET) return true;
  INTERFACE_INFO list[32];
  DWORD bytes = 0;
  bool local = false;
  if (Ws.ioctl != nullptr &&
      Ws.ioctl(handle, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes, nullptr, nullptr) == 0) {
    for (DWORD i = 0; i < bytes / sizeof list[0] && !local; ++i)
      local = Big32(list[i].iiAddress.AddressIn.sin_addr.s_addr) == hostOrderIPv4;
  } else {
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = Big32(hostOrderIPv4);
    local = Ws.bindTo(handle, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0 ||
            Ws.lastError() != WSAEADDRNOTAVAIL;
  }
  Ws.close(handle);
  return local;
}

bool ResolveHostName(const char* name, uint32_t* address) {
  if (!WsReady) return false;
  // gethostbyname: getaddrinfo came with XP, after the oldest systems here.
  const hostent* host = Ws.hostByName(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) return false;
  in_addr found;
  CopyMemory(&found, host->h_addr_list[0], sizeof found);
  *address = Big32(found.s_addr);
  return true;
}

void LocalHostName(char* out, size_t size) {
  if (!WsReady || Ws.hostName(out, int(size)) != 0) out[0] = '\0';
  out[size - 1] = '\0';
}

// The program has no console: a fault is retried without a word.
void ReportOutputFault(const char*, const char*, int) {}
