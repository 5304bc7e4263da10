// The server's end on Windows: the named pipe, one instance, inbound only.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "pipe/pipe_create_win.h"
#include "pipe/pipe_endpoint.h"
#include "pipe/pipe_name.h"

struct PipeServer {
  HANDLE pipe;
};

namespace {

HANDLE CreateWithMode(CreateNamedPipeFn create, const char* path, DWORD inBufferSize,
                      DWORD pipeMode) {
  return create(path,
                PIPE_ACCESS_INBOUND,  // The server only reads.
                pipeMode,
                1,             // Max instances.
                0,             // Out buffer size.
                inBufferSize,  // In buffer size.
                0,             // Default time-out.
                nullptr);      // Default security.
}

}  // namespace

HANDLE CreateListenerPipe(const char* path, DWORD inBufferSize, CreateNamedPipeFn create) {
  // Byte stream, byte reads, blocking calls; remote clients are refused, as
  // a pipe open to the network would take anyone's input.
  HANDLE pipe = CreateWithMode(create, path, inBufferSize, 0 | kRejectRemoteClients);
  // Before Vista the setting is unknown and refused as a bad parameter:
  // there, and only there, the pipe is made without it (those systems have
  // no such refusal). Any other failure is the caller's to report.
  if (pipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
    pipe = CreateWithMode(create, path, inBufferSize, 0);
  return pipe;
}

PipeServer* PipeServerCreate(const char* name, long* error) {
  // No std::string and no new here: the program keeps the C++ run-time
  // library (and with it the exception machinery) out of its .exe.
  char path[256];
  std::snprintf(path, sizeof path, "%s%s", PIPE_WINDOWS_PREFIX, name);
  HANDLE pipe = CreateListenerPipe(path, kPipeReadSize, CreateNamedPipeA);
  if (pipe == INVALID_HANDLE_VALUE) {
    *error = static_cast<long>(GetLastError());
    return nullptr;
  }
  auto* server = static_cast<PipeServer*>(std::malloc(sizeof(PipeServer)));
  if (server == nullptr) {
    CloseHandle(pipe);
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  server->pipe = pipe;
  return server;
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
  std::free(server);
}
