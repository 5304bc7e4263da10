// A fake of the pipe's server end (pipe/pipe_endpoint.h) for the listener's
// unit tests: creation, clients and their reads answer from a script, and
// what the listener did with the end is recorded.
#pragma once
#include <string>
#include <vector>

struct ScriptedServer {
  long createError = 0;  // Not 0: PipeServerCreate fails with it.
  // One entry per client, in order: its reads' bytes (each at most 18, ""
  // is a read of 0 bytes); after the last read the client has gone.
  std::vector<std::vector<std::string>> clients;
  bool disconnectFails = false;
  // Recorded.
  std::string createdName;
  int disconnects = 0;
  bool closed = false;
};

// The one script the fake answers from; tests reset it.
ScriptedServer& Server();
