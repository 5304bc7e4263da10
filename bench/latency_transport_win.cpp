// The latency benchmark's transport on Windows: the named pipe, created by
// the bare server with the listener's own settings.
#include <windows.h>

#include "bench/latency_transport.h"

namespace {

constexpr char kPipeName[] = "\\\\.\\pipe\\tormelin";
HANDLE Client = INVALID_HANDLE_VALUE;
HANDLE Bare = INVALID_HANDLE_VALUE;

}  // namespace

// Pipe names are per session and the build's Wine prefix is ours alone.
bool IsolateTransport() { return true; }

bool ClientConnect() {
  for (int attempt = 0; attempt < 500; ++attempt) {
    Client = CreateFileA(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (Client != INVALID_HANDLE_VALUE) return true;
    if (GetLastError() == ERROR_PIPE_BUSY) {
      WaitNamedPipeA(kPipeName, 1000);
    } else {
      Sleep(10);  // Pipe not created yet.
    }
  }
  return false;
}

bool ClientWrite(const char* bytes, size_t count) {
  DWORD written = 0;
  return WriteFile(Client, bytes, DWORD(count), &written, nullptr) && written == count;
}

void ClientClose() {
  if (Client != INVALID_HANDLE_VALUE) CloseHandle(Client);
  Client = INVALID_HANDLE_VALUE;
}

bool BareOpen() {
  Bare = CreateNamedPipeA(kPipeName, PIPE_ACCESS_INBOUND, 0 | PIPE_REJECT_REMOTE_CLIENTS,
                          1,         // Max instances.
                          0,         // Out buffer size.
                          18,        // In buffer size, as the listener's.
                          0,         // Default time-out.
                          nullptr);  // Default security.
  return Bare != INVALID_HANDLE_VALUE;
}

bool BareAccept() {
  // A client that came before the call is connected just the same.
  return ConnectNamedPipe(Bare, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
}

long BareRead(unsigned char* bytes, size_t size) {
  DWORD received = 0;
  return ReadFile(Bare, bytes, DWORD(size), &received, nullptr) ? long(received) : -1;
}

void BareClose() {
  if (Bare != INVALID_HANDLE_VALUE) {
    DisconnectNamedPipe(Bare);
    CloseHandle(Bare);
  }
  Bare = INVALID_HANDLE_VALUE;
}
