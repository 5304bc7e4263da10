#include "protocol/client_status.h"

std::string PipeStatusText(PipeStatus status, const std::string& server, const std::string& detail) {
  switch (status) {
    case PipeStatus::kOk: break;
    case PipeStatus::kNoServer: return "no pipe server is listening on " + server;
    case PipeStatus::kBusy: return "the pipe server on " + server + " is busy with another client";
    case PipeStatus::kServerGone: return "the pipe server on " + server + " went away";
    case PipeStatus::kFailed: return "cannot use " + server + ": " + detail;
  }
  return "";
}
