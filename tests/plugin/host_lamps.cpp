#include "host_lamps.h"

#include <cstdio>

std::string PluginPath() { return ProgramPath("VIS_DLL"); }

std::string LampText(unsigned lamps) {
  char text[48];
  std::snprintf(text, sizeof text, "%04X ", lamps & 0xFFFF);
  std::string out = text;
  for (int bit = 7; bit >= 0; --bit) out += (lamps >> bit) & 1 ? 'o' : '.';
  out += ' ';
  for (int bit = 15; bit >= 8; --bit) out += (lamps >> bit) & 1 ? 'o' : '.';
  return out;
}

StallingServer::StallingServer() {
  pipe_ = CreateNamedPipeA("\\\\.\\pipe\\tormelin", PIPE_ACCESS_INBOUND, 0,
                           1,        // Max instances.
                           0, 18,    // Buffers: as the program's.
                           0, nullptr);
  if (pipe_ != INVALID_HANDLE_VALUE) thread_ = CreateThread(nullptr, 0, Accept, pipe_, 0, nullptr);
}

StallingServer::~StallingServer() {
  if (thread_ != nullptr) {
    // Still waiting for a client when none came: end it by connecting.
    HANDLE client = CreateFileA("\\\\.\\pipe\\tormelin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    WaitForSingleObject(thread_, 2000);
    if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
    CloseHandle(thread_);
  }
  if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
}

DWORD WINAPI StallingServer::Accept(void* pipe) {
  ConnectNamedPipe(static_cast<HANDLE>(pipe), nullptr);  // And then nothing.
  return 0;
}
