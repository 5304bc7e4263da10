// The pipe's client side: every program that talks to the server uses it
// (lightsend, lightbeat, the player plug-in, soak clients, benchmarks).
// The named pipe "\\.\pipe\tormelin" on Windows, the abstract Unix socket
// "tormelin" on Linux. No platform header here, and no heap but the
// connection's few bytes (malloc: lightsend.exe links no operator new).
#pragma once
#include <cstddef>

#include "protocol/client_status.h"  // PipeStatus
#include "protocol/short_text.h"

struct PipeConnection;  // One connection; opaque.

// The server's address as a person would write it, for messages.
const char* PipeDisplayName();

// Connects once; does not wait for a busy server. On success *connection is
// set; otherwise it is null and detail (when given) holds the reason.
PipeStatus PipeConnect(PipeConnection** connection, ShortText* detail);

// Writes count bytes (one line with its line feed) in a single write, so
// that the server reads the line in one piece. Never raises SIGPIPE.
PipeStatus PipeWrite(PipeConnection* connection, const char* bytes, size_t count,
                     ShortText* detail);

// Closes the connection; null is allowed.
void PipeDisconnect(PipeConnection* connection);

// As PipeConnect, to the server of another name (PIPE_NAME, pipe/pipe_name.h,
// is the program's): a benchmark's bare server, for one.
PipeStatus PipeConnectTo(const char* name, PipeConnection** connection, ShortText* detail);

// As PipeConnectTo, but tries again every few milliseconds, for up to
// waitMs, while the server is busy and, with whileAbsent, while nobody
// serves the name yet. Returns the last attempt's status.
PipeStatus PipeConnectRetrying(const char* name, int waitMs, bool whileAbsent,
                               PipeConnection** connection, ShortText* detail);

// Waits until the server has read every byte written so far, for up to
// about ten seconds; false when it has not or the connection failed. For
// test drivers that make each write a read of its own.
bool PipeWaitDrained(PipeConnection* connection);
