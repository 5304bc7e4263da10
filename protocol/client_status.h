// How a client's connection to the server stands, and the one text each
// client prints for it.
#pragma once
#include "protocol/short_text.h"

enum class PipeStatus {
  kOk,
  kNoServer,    // Nobody serves the pipe.
  kBusy,        // The server is serving another client and refused this one.
  kServerGone,  // The server closed the connection while we wrote.
  kFailed,      // Anything else; detail says what.
};

// "no pipe server is listening on SERVER", "the pipe server on SERVER is
// busy with another client", "the pipe server on SERVER went away",
// "cannot use SERVER: DETAIL"; empty for kOk. server is the address as a
// person writes it (PipeDisplayName).
ShortText PipeStatusText(PipeStatus status, const char* server, const char* detail);
