// Until the pipe's client side is in this tree: lightbeat links, --onsets,
// --beats and --lines work, and sending says plainly that it cannot.
#include "pipe/pipe_client.h"

const char* PipeDisplayName() { return "@tormelin"; }

PipeStatus PipeConnect(PipeConnection** connection, std::string* detail) {
  *connection = nullptr;
  if (detail) *detail = "this build has no pipe client (pipe/pipe_client.cpp is missing)";
  return PipeStatus::kFailed;
}

PipeStatus PipeWrite(PipeConnection*, const char*, size_t, std::string* detail) {
  if (detail) *detail = "this build has no pipe client";
  return PipeStatus::kFailed;
}

void PipeDisconnect(PipeConnection*) {}
