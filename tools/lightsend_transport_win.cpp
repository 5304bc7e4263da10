// lightsend on Windows: the named pipe "\\.\pipe\tormelin".
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "tools/lightsend_transport.h"

namespace {

constexpr char kPipeName[] = "\\\\.\\pipe\\tormelin";
constexpr DWORD kBusyWaitMs = 3000;  // The server takes the next client at once.
HANDLE Connection = INVALID_HANDLE_VALUE;
std::atomic<bool> InterruptSeen{false};

std::string Describe(DWORD error) {
  char text[64];
  std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(error));
  return text;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  InterruptSeen = true;
  return TRUE;
}

}  // namespace

const char* ServerName() { return "\\\\.\\pipe\\tormelin"; }

SendStatus ConnectToServer(std::string* detail) {
  // The pipe has one instance: while another client holds it, wait a little
  // for it to be free rather than give up at once.
  for (int attempt = 0; attempt < 2; ++attempt) {
    Connection = CreateFileA(kPipeName,
                             GENERIC_WRITE,
                             0,              // No sharing.
                             nullptr,        // Default security.
                             OPEN_EXISTING,  // A pipe is never created here.
                             0,              // No flags.
                             nullptr);       // No template.
    if (Connection != INVALID_HANDLE_VALUE) return SendStatus::kOk;
    const DWORD error = GetLastError();
    *detail = Describe(error);
    if (error == ERROR_FILE_NOT_FOUND) return SendStatus::kNoServer;
    if (error != ERROR_PIPE_BUSY) return SendStatus::kFailed;
    if (!WaitNamedPipeA(kPipeName, kBusyWaitMs)) break;
  }
  *detail = "the pipe stayed busy with another client";
  return SendStatus::kNoServer;
}

SendStatus SendBytes(const std::string& bytes, std::string* detail) {
  DWORD written = 0;
  if (WriteFile(Connection, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size())
    return SendStatus::kOk;
  const DWORD error = GetLastError();
  *detail = Describe(error);
  return (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED)
             ? SendStatus::kServerGone
             : SendStatus::kFailed;
}

void CloseConnection() {
  if (Connection != INVALID_HANDLE_VALUE) CloseHandle(Connection);
  Connection = INVALID_HANDLE_VALUE;
}

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool Interrupted() { return InterruptSeen; }
