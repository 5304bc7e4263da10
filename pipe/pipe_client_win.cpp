// The client side on Windows: the named pipe, opened for writing.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "pipe/pipe_client.h"
#include "pipe/pipe_name.h"

struct PipeConnection {
  HANDLE pipe;
};

namespace {

void Describe(DWORD error, ShortText* detail) {
  if (detail == nullptr) return;
  detail->Clear();
  detail->Add("error ").AddNumber(error);
}

}  // namespace

const char* PipeDisplayName() { return PIPE_WINDOWS_PATH; }

PipeStatus PipeConnectTo(const char* name, PipeConnection** connection, ShortText* detail) {
  *connection = nullptr;
  char path[MAX_PATH] = PIPE_WINDOWS_PREFIX;
  std::strncat(path, name, sizeof path - sizeof PIPE_WINDOWS_PREFIX);
  HANDLE pipe = CreateFileA(path,
                            GENERIC_WRITE,
                            0,              // No sharing.
                            nullptr,        // Default security.
                            OPEN_EXISTING,  // A pipe is never created here.
                            0,              // No flags.
                            nullptr);       // No template.
  if (pipe != INVALID_HANDLE_VALUE) {
    *connection = static_cast<PipeConnection*>(std::malloc(sizeof(PipeConnection)));
    if (*connection != nullptr) {
      (*connection)->pipe = pipe;
      return PipeStatus::kOk;
    }
    CloseHandle(pipe);
    if (detail != nullptr) detail->Set("out of memory");
    return PipeStatus::kFailed;
  }
  const DWORD error = GetLastError();
  Describe(error, detail);
  // The pipe has one instance: while it serves another client, or has not
  // yet let the last one go, it is busy. No waiting here; callers decide.
  if (error == ERROR_PIPE_BUSY) return PipeStatus::kBusy;
  return error == ERROR_FILE_NOT_FOUND ? PipeStatus::kNoServer : PipeStatus::kFailed;
}

PipeStatus PipeWrite(PipeConnection* connection, const char* bytes, size_t count, ShortText* detail) {
  DWORD written = 0;
  if (WriteFile(connection->pipe, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count)
    return PipeStatus::kOk;
  const DWORD error = GetLastError();
  Describe(error, detail);
  return (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED)
             ? PipeStatus::kServerGone
             : PipeStatus::kFailed;
}

// On a pipe, FlushFileBuffers returns when the server has read every byte.
bool PipeWaitDrained(PipeConnection* connection) { return FlushFileBuffers(connection->pipe) != 0; }

void PipeDisconnect(PipeConnection* connection) {
  if (connection == nullptr) return;
  CloseHandle(connection->pipe);
  std::free(connection);
}
