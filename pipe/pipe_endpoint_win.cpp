// The server's end on Windows: the named pipe, one instance, inbound only.
#include <windows.h>

#include <string>

#include "pipe/pipe_endpoint.h"
#include "pipe/pipe_name.h"

struct PipeServer {
  HANDLE pipe;
};

PipeServer* PipeServerCreate(const char* name, long* error) {
  const std::string path = std::string(PIPE_WINDOWS_PREFIX) + name;
  // Byte stream, byte reads, blocking calls; remote clients are refused, as
  // a pipe open to the network would take anyone's input.
  HANDLE pipe = CreateNamedPipeA(path.c_str(),
                                 PIPE_ACCESS_INBOUND,  // The server only reads.
                                 0 | PIPE_REJECT_REMOTE_CLIENTS,
                                 1,              // Max instances.
                                 0,              // Out buffer size.
                                 kPipeReadSize,  // In buffer size.
                                 0,              // Default time-out.
                                 nullptr);       // Default security.
  if (pipe == INVALID_HANDLE_VALUE) {
    *error = static_cast<long>(GetLastError());
    return nullptr;
  }
  return new PipeServer{pipe};
}

bool PipeServerWaitClient(PipeServer* server) {
  // A client that connected before this call is served the same way, so
  // the result (ERROR_PIPE_CONNECTED among others) is not examined.
  ConnectNamedPipe(server->pipe, nullptr);
  return true;
}

long PipeServerRead(PipeServer* server, unsigned char* bytes) {
  DWORD received = 0;
  if (!ReadFile(server->pipe, bytes, kPipeReadSize, &received, nullptr)) return -1;
  return long(received);
}

bool PipeServerDisconnect(PipeServer* server) { return DisconnectNamedPipe(server->pipe) != 0; }

void PipeServerClose(PipeServer* server) {
  if (server == nullptr) return;
  CloseHandle(server->pipe);
  delete server;
}
