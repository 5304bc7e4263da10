// The listener's steps, the same on every platform; the pipe itself is
// behind pipe/pipe_endpoint.h, what becomes of a line behind the sink.
#include "pipe/pipe_listener.h"

#include "pipe/line_framing.h"
#include "pipe/pipe_endpoint.h"
#include "pipe/pipe_name.h"

namespace {

void Note(const ListenerSink& sink, ListenerEvent event) {
  if (sink.note != nullptr) sink.note(sink.context, event);
}

// Reads until the client goes (or any read fails), handing on at most one
// line per read. A read of 0 bytes changes nothing.
void ServeClient(PipeServer* server, const ListenerSink& sink) {
  unsigned char bytes[kPipeReadSize];
  char line[kMaxLineLength + 1];
  for (;;) {
    const long received = PipeServerRead(server, bytes);
    if (received < 0) return;
    if (FrameOneRead(bytes, size_t(received), line)) sink.line(sink.context, line);
  }
}

}  // namespace

int PipeListenThread(const ListenerSink& sink) {
  sink.line(sink.context, ">???");

  long error = 0;
  PipeServer* server = PipeServerCreate(PIPE_NAME, &error);
  if (server == nullptr) {
    sink.error(sink.context, error);  // The window stays, showing ">???".
    return 0;
  }
  Note(sink, ListenerEvent::kListening);

  // A failed wait ends the loop as a failed disconnection does: quietly.
  while (PipeServerWaitClient(server)) {
    Note(sink, ListenerEvent::kClientCame);
    ServeClient(server, sink);
    sink.line(sink.context, ">xxx");  // The lamps and the port keep the last command.
    Note(sink, ListenerEvent::kClientWent);
    if (!PipeServerDisconnect(server)) break;
  }

  PipeServerClose(server);
  return 0;
}
