// A fake of the pipe's client side (pipe/pipe_client.h) for the clients'
// unit tests: connections and writes answer from a script, and every line
// written is recorded.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "pipe/pipe_client.h"

struct ScriptedPipe {
  std::deque<PipeStatus> connects;  // Answers to PipeConnect; kOk when empty.
  std::deque<PipeStatus> writes;    // Answers to PipeWrite; kOk when empty.
  std::vector<std::string> written; // Each successful write, as written.
  int connectCalls = 0;
  int openConnections = 0;
};

// The one script the fake answers from; tests reset it.
ScriptedPipe& Pipe();
