// Winsock 2, loaded when the first output starts: the program keeps
// loading where there is no ws2_32.dll (Windows 95 without its Winsock 2
// update), and one without outputs never loads it. Only calls that
// Windows NT 4.0 and 98 have.
#include <winsock2.h>
#include <ws2tcpip.h>  // IP_MULTICAST_IF and _TTL, Winsock 2 values.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "lightnet/net_platform.h"
#include "protocol/short_text.h"

namespace {

// The Winsock calls, looked up once by StartNetworking.
struct Winsock {
  int(WSAAPI* startup)(WORD, WSADATA*);
  int(WSAAPI* lastError)();
  SOCKET(WSAAPI* open)(int, int, int);
  int(WSAAPI* setOption)(SOCKET, int, int, const char*, int);
  int(WSAAPI* connectTo)(SOCKET, const sockaddr*, int);
  int(WSAAPI* send)(SOCKET, const char*, int, int);
  int(WSAAPI* bindTo)(SOCKET, const sockaddr*, int);
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
      !Find(dll, "connect", &Ws.connectTo) || !Find(dll, "send", &Ws.send) || !Find(dll, "bind", &Ws.bindTo) ||
      !Find(dll, "closesocket", &Ws.close) || !Find(dll, "gethostbyname", &Ws.hostByName) ||
      !Find(dll, "gethostname", &Ws.hostName))
    return false;
  Find(dll, "WSAIoctl", &Ws.ioctl);
  WSADATA data;
  WsReady = Ws.startup(MAKEWORD(2, 0), &data) == 0;
  return WsReady;
}

intptr_t OpenUdpSender(const UdpTarget& target, int* error, const char** what) {
  *what = "cannot open a socket";
  *error = 0;
  if (!WsReady) return -1;
  const SOCKET handle = Ws.open(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (handle == INVALID_SOCKET) {
    *error = Ws.lastError();
    return -1;
  }
  const BOOL on = TRUE;
  // The smallest receive buffer: nothing is read, and the connection below
  // already keeps everyone but the receiver out.
  const int smallest = 0;
  Ws.setOption(handle, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&smallest), sizeof smallest);
  bool good = true;
  if (target.broadcast)
    good = Ws.setOption(handle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0;
  if (good && target.multicast) {
    const DWORD ttl = 8;  // Past a few routers of a lighting network.
    good = Ws.setOption(handle, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl) == 0;
    if (good && target.interfaceAddress != 0) {
      *what = "cannot use the interface";
      in_addr local = {};
      local.s_addr = Big32(target.interfaceAddress);
      good = Ws.setOption(handle, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&local), sizeof local) == 0;
    }
  }
  if (good) {
    *what = "cannot send";  // No route to the receiver shows here, when connecting.
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = Big16(target.port);
    to.sin_addr.s_addr = Big32(target.address);
    good = Ws.connectTo(handle, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  if (good) return intptr_t(handle);
  *error = Ws.lastError();
  Ws.close(handle);
  return -1;
}

int SendUdp(intptr_t socket, const uint8_t* data, size_t length) {
  const int sent = Ws.send(SOCKET(socket), reinterpret_cast<const char*>(data), int(length), 0);
  return sent == int(length) ? 0 : Ws.lastError();
}

bool IsRefusal(int error) { return error == WSAECONNRESET || error == WSAECONNREFUSED; }

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

// The few errors a sender meets, in words; the number always, which
// Winsock's list names.
void ErrorText(int error, char* out, size_t size) {
  static const struct {
    int error;
    const char* text;
  } kTexts[] = {{WSAEACCES, "permission denied"},          {WSAEADDRNOTAVAIL, "address not available"},
                {WSAENETDOWN, "network is down"},           {WSAENETUNREACH, "network is unreachable"},
                {WSAEHOSTUNREACH, "no route to host"},      {WSAECONNRESET, "connection reset"},
                {WSAECONNREFUSED, "connection refused"},    {WSAEMSGSIZE, "message too long"}};
  ShortText text;
  for (const auto& known : kTexts)
    if (known.error == error) text.Add(known.text).Add(", ");
  text.Add("error ").AddNumber(unsigned(error));
  text.CopyTo(out, size);
}

// The program has no console: the "Outputs..." item shows the state instead.
void PrintConsoleLine(const char*) {}

// --- TCP client ---------------------------------------------------------------

namespace {

// The calls only the TCP client needs, looked up on its first use.
struct WinsockTcp {
  int(WSAAPI* ioctl)(SOCKET, long, u_long*);
  int(WSAAPI* wait)(int, fd_set*, fd_set*, fd_set*, const timeval*);
  int(WSAAPI* getOption)(SOCKET, int, int, char*, int*);
  int(WSAAPI* receive)(SOCKET, char*, int, int);
} WsTcp;
bool WsTcpReady;

bool StartTcp() {
  if (WsTcpReady) return true;
  if (!StartNetworking()) return false;
  HMODULE dll = GetModuleHandleA("ws2_32.dll");
  WsTcpReady = dll != nullptr && Find(dll, "ioctlsocket", &WsTcp.ioctl) && Find(dll, "select", &WsTcp.wait) &&
               Find(dll, "getsockopt", &WsTcp.getOption) && Find(dll, "recv", &WsTcp.receive);
  return WsTcpReady;
}

// FD_ISSET calls ws2_32's __WSAFDIsSet, which is not imported here.
bool InSet(const fd_set& set, SOCKET handle) {
  for (u_int i = 0; i < set.fd_count; ++i)
    if (set.fd_array[i] == handle) return true;
  return false;
}

}  // namespace

intptr_t OpenTcpClient(uint32_t hostOrderIPv4, uint16_t port, int* error) {
  *error = 0;
  if (!StartTcp()) return -1;
  const SOCKET handle = Ws.open(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (handle == INVALID_SOCKET) {
    *error = Ws.lastError();
    return -1;
  }
  u_long on = 1;
  bool good = WsTcp.ioctl(handle, FIONBIO, &on) == 0;
  if (good) {
    // Each message goes at once, not held back to join the next.
    const BOOL noDelay = TRUE;
    Ws.setOption(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = Big16(port);
    to.sin_addr.s_addr = Big32(hostOrderIPv4);
    good = Ws.connectTo(handle, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ||
           Ws.lastError() == WSAEWOULDBLOCK;
  }
  if (good) return intptr_t(handle);
  *error = Ws.lastError();
  Ws.close(handle);
  return -1;
}

int TcpConnectState(intptr_t socket) {
  const SOCKET handle = SOCKET(socket);
  fd_set writable, failed;
  writable.fd_count = failed.fd_count = 1;
  writable.fd_array[0] = failed.fd_array[0] = handle;
  const timeval now = {0, 0};
  if (WsTcp.wait(0, nullptr, &writable, &failed, &now) == SOCKET_ERROR) return Ws.lastError();
  if (InSet(failed, handle)) {
    int error = 0, size = sizeof error;
    if (WsTcp.getOption(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
      return Ws.lastError();
    return error != 0 ? error : WSAECONNREFUSED;
  }
  return InSet(writable, handle) ? 0 : -1;
}

int SendTcp(intptr_t socket, const uint8_t* data, size_t length) {
  const int sent = Ws.send(SOCKET(socket), reinterpret_cast<const char*>(data), int(length), 0);
  if (sent == int(length)) return 0;
  if (sent >= 0) return sent == 0 ? -1 : -2;
  const int error = Ws.lastError();
  return error == WSAEWOULDBLOCK ? -1 : error;
}

bool TcpClosedByPeer(intptr_t socket, int* error) {
  char dropped[512];
  for (;;) {
    const int got = WsTcp.receive(SOCKET(socket), dropped, sizeof dropped, 0);
    if (got > 0) continue;
    if (got == 0) {
      *error = 0;
      return true;
    }
    const int failure = Ws.lastError();
    if (failure == WSAEWOULDBLOCK) return false;
    *error = failure;
    return true;
  }
}

void CloseTcpClient(intptr_t socket) {
  if (socket != -1) Ws.close(SOCKET(socket));
}
