// The server's end of the pipe, below the listener: the named pipe on
// Windows (pipe_endpoint_win.cpp), an abstract Unix socket on Linux
// (pipe_endpoint_linux.cpp). Either admits a single server and serves one
// client at a time. No platform header here.
#pragma once
#include <cstddef>

struct PipeServer;  // The listening end and the client being served; opaque.

// Creates the server's end under name (PIPE_NAME for the program). On
// failure returns null and sets *error to the platform's error code (for
// example when another copy of the program already serves the name).
PipeServer* PipeServerCreate(const char* name, long* error);

// Waits for the next client. A client that connected before the call is
// served the same way. False only for a failure that would repeat.
bool PipeServerWaitClient(PipeServer* server);

// Reads at most kPipeReadSize bytes of the client's stream into bytes.
// Returns the count (0 is possible and changes nothing), or -1 when the
// client has gone or the read failed.
long PipeServerRead(PipeServer* server, unsigned char* bytes);

// Lets the client go, so that the next can connect. False when that failed:
// the listener then ends.
bool PipeServerDisconnect(PipeServer* server);

// Closes the server's end and frees it; null is allowed.
void PipeServerClose(PipeServer* server);
