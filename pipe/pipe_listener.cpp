// The listener's steps, the same on every platform; the pipe itself is
// behind pipe/pipe_endpoint.h.
#include "pipe/pipe_listener.h"

#include "lights/light_control.h"
#include "pipe/line_framing.h"
#include "pipe/pipe_endpoint.h"
#include "pipe/pipe_error_box.h"
#include "pipe/pipe_name.h"

void (*ListenerNote)(ListenerEvent) = nullptr;

namespace {

void Note(ListenerEvent event) {
  if (ListenerNote != nullptr) ListenerNote(event);
}

// Reads until the client goes (or any read fails), applying at most one
// line per read. A read of 0 bytes changes nothing.
void ServeClient(PipeServer* server) {
  unsigned char bytes[kPipeReadSize];
  char line[kMaxLineLength + 1];
  for (;;) {
    const long received = PipeServerRead(server, bytes);
    if (received < 0) return;
    if (FrameOneRead(bytes, size_t(received), line)) ApplyLightLine(line);
  }
}

}  // namespace

int PipeListenThread(void* owner) {
  // The status text stays and the port is not written: latches keep their
  // state until the first light command.
  ClearLampBanks();
  ApplyLightLine(">???");

  long error = 0;
  PipeServer* server = PipeServerCreate(PIPE_NAME, &error);
  if (server == nullptr) {
    ShowPipeError(owner, error);  // The window stays, showing ">???".
    return 0;
  }
  Note(ListenerEvent::kListening);

  // A failed wait ends the loop as a failed disconnection does: quietly.
  while (PipeServerWaitClient(server)) {
    Note(ListenerEvent::kClientCame);
    ServeClient(server);
    ApplyLightLine(">xxx");  // The lamps and the port keep the last command.
    Note(ListenerEvent::kClientWent);
    if (!PipeServerDisconnect(server)) break;
  }

  PipeServerClose(server);
  return 0;
}
