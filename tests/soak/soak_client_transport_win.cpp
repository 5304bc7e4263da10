#include <windows.h>

#include "tests/soak/soak_client_transport.h"

namespace {

constexpr char kPipeName[] = "\\\\.\\pipe\\tormelin";
HANDLE Connection = INVALID_HANDLE_VALUE;

}  // namespace

bool Connect() {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Connection = CreateFileA(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (Connection != INVALID_HANDLE_VALUE) return true;
    if (GetLastError() == ERROR_PIPE_BUSY) {
      WaitNamedPipeA(kPipeName, 1000);  // The previous client is still being let go.
    } else {
      Sleep(10);  // Not created yet.
    }
  }
  return false;
}

// On a pipe, FlushFileBuffers returns when the server has read every byte.
bool WriteAndDrain(const unsigned char* bytes, size_t count) {
  DWORD written = 0;
  if (!WriteFile(Connection, bytes, DWORD(count), &written, nullptr) || written != count) return false;
  return FlushFileBuffers(Connection) != 0;
}

void Disconnect() {
  if (Connection != INVALID_HANDLE_VALUE) CloseHandle(Connection);
  Connection = INVALID_HANDLE_VALUE;
}
