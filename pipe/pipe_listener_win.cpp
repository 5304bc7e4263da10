// The listener on Windows: the named pipe "\\.\pipe\tormelin", one instance,
// inbound only, served one client at a time for as long as the program runs.
#include <windows.h>

#include "lights/light_control.h"
#include "pipe/line_framing.h"
#include "pipe/pipe_error_box.h"
#include "pipe/pipe_listener.h"

namespace {

constexpr char kPipeName[] = "\\\\.\\pipe\\tormelin";
constexpr DWORD kReadSize = 18;  // The plug-in's lines fit; longer ones are dropped anyway.

// Reads until the client goes (or any read fails), applying at most one
// line per read. A read of 0 bytes changes nothing.
void ServeClient(HANDLE pipe) {
  unsigned char bytes[kReadSize];
  char line[kMaxLineLength + 1];
  DWORD received = 0;
  while (ReadFile(pipe, bytes, kReadSize, &received, nullptr)) {
    if (FrameOneRead(bytes, received, line)) ApplyLightLine(line);
  }
}

}  // namespace

int PipeListenThread(void* owner) {
  ClearLampBanks();
  ApplyLightLine(">???");

  // Byte stream, byte reads, blocking calls; remote clients are refused, as
  // a pipe open to the network would take anyone's input.
  HANDLE pipe = CreateNamedPipeA(kPipeName,
                                 PIPE_ACCESS_INBOUND,  // The server only reads.
                                 0 | PIPE_REJECT_REMOTE_CLIENTS,
                                 1,          // Max instances.
                                 0,          // Out buffer size.
                                 kReadSize,  // In buffer size.
                                 0,          // Default time-out.
                                 nullptr);   // Default security.
  if (pipe == INVALID_HANDLE_VALUE) {
    ShowPipeError(owner, static_cast<long>(GetLastError()));
    return 0;
  }

  do {
    // A client that connected before this call is served the same way, so
    // the result (ERROR_PIPE_CONNECTED among others) is not examined.
    ConnectNamedPipe(pipe, nullptr);
    ServeClient(pipe);
    ApplyLightLine(">xxx");
  } while (DisconnectNamedPipe(pipe));

  CloseHandle(pipe);
  return 0;
}
