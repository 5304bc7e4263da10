// The latency benchmark's transport on Windows: the named pipe, created by
// the bare server with the listener's own settings.
#include <windows.h>

#include "bench/latency_transport.h"

namespace {

const char* const kPipeNames[] = {"\\\\.\\pipe\\tormelin-bare", "\\\\.\\pipe\\tormelin"};  // By Server.
HANDLE Clients[] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
HANDLE Bare = INVALID_HANDLE_VALUE;

}  // namespace

// Pipe names are per session and the build's Wine prefix is ours alone.
bool IsolateTransport() { return true; }

bool ClientConnect(Server server) {
  const char* name = kPipeNames[int(server)];
  HANDLE& client = Clients[int(server)];
  for (int attempt = 0; attempt < 500; ++attempt) {
    client = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (client != INVALID_HANDLE_VALUE) return true;
    if (GetLastError() == ERROR_PIPE_BUSY) {
      WaitNamedPipeA(name, 1000);
    } else {
      Sleep(10);  // Pipe not created yet.
    }
  }
  return false;
}

bool ClientWrite(Server server, const char* bytes, size_t count) {
  DWORD written = 0;
  return WriteFile(Clients[int(server)], bytes, DWORD(count), &written, nullptr) && written == count;
}

void ClientClose(Server server) {
  HANDLE& client = Clients[int(server)];
  if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
  client = INVALID_HANDLE_VALUE;
}

bool BareOpen() {
  Bare = CreateNamedPipeA(kPipeNames[int(Server::kBare)], PIPE_ACCESS_INBOUND, 0 | PIPE_REJECT_REMOTE_CLIENTS,
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
