// The client side's platform-free part; the connection itself is in
// pipe_client_win.cpp and pipe_client_linux.cpp.
#include "pipe/pipe_client.h"

#include "pipe/pipe_name.h"
#include "platform/clock.h"

PipeStatus PipeConnect(PipeConnection** connection, ShortText* detail) {
  return PipeConnectTo(PIPE_NAME, connection, detail);
}

PipeStatus PipeConnectRetrying(const char* name, int waitMs, bool whileAbsent,
                               PipeConnection** connection, ShortText* detail) {
  constexpr int kPauseMs = 10;  // The server takes the next client at once.
  for (int waited = 0;; waited += kPauseMs) {
    const PipeStatus status = PipeConnectTo(name, connection, detail);
    const bool again = status == PipeStatus::kBusy || (whileAbsent && status == PipeStatus::kNoServer);
    if (!again || waited >= waitMs) return status;
    SleepSeconds(kPauseMs / 1000.0);
  }
}
