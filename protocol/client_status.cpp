#include "protocol/client_status.h"

ShortText PipeStatusText(PipeStatus status, const char* server, const char* detail) {
  ShortText text;
  switch (status) {
    case PipeStatus::kOk: break;
    case PipeStatus::kNoServer: text.Add("no pipe server is listening on ").Add(server); break;
    case PipeStatus::kBusy:
      text.Add("the pipe server on ").Add(server).Add(" is busy with another client");
      break;
    case PipeStatus::kServerGone: text.Add("the pipe server on ").Add(server).Add(" went away"); break;
    case PipeStatus::kFailed: text.Add("cannot use ").Add(server).Add(": ").Add(detail); break;
  }
  return text;
}
