#include "tests/fakes/scripted_pipe_client.h"

struct PipeConnection {
  int unused;
};

ScriptedPipe& Pipe() {
  static ScriptedPipe pipe;
  return pipe;
}

const char* PipeDisplayName() { return "@fake"; }

PipeStatus PipeConnect(PipeConnection** connection, ShortText* detail) {
  ScriptedPipe& pipe = Pipe();
  ++pipe.connectCalls;
  PipeStatus status = PipeStatus::kOk;
  if (!pipe.connects.empty()) {
    status = pipe.connects.front();
    pipe.connects.pop_front();
  }
  *connection = nullptr;
  if (status != PipeStatus::kOk) {
    if (detail) detail->Set("scripted failure");
    return status;
  }
  *connection = new PipeConnection{0};
  ++pipe.openConnections;
  return status;
}

PipeStatus PipeWrite(PipeConnection*, const char* bytes, size_t count, ShortText* detail) {
  ScriptedPipe& pipe = Pipe();
  PipeStatus status = PipeStatus::kOk;
  if (!pipe.writes.empty()) {
    status = pipe.writes.front();
    pipe.writes.pop_front();
  }
  if (status == PipeStatus::kOk)
    pipe.written.emplace_back(bytes, count);
  else if (detail)
    detail->Set("scripted failure");
  return status;
}

void PipeDisconnect(PipeConnection* connection) {
  if (!connection) return;
  --Pipe().openConnections;
  delete connection;
}
