// What the host's tests and benchmark share: the DLL's path, the lamps as
// text, and a pipe server that never reads (the lamps are read by
// ReadLamps, tests/support/lamp_reader.h).
#pragma once
#include <windows.h>

#include <string>

#include "win_driver.h"

// VIS_DLL from the environment, as a Windows path.
std::string PluginPath();

std::string LampText(unsigned lamps);  // "1234" and the two rows as dots.

// Serves "\\.\pipe\tormelin" in this process: takes one client and never
// reads, so that its writes fill the pipe and then block.
class StallingServer {
 public:
  StallingServer();
  ~StallingServer();
  bool started() const { return pipe_ != INVALID_HANDLE_VALUE; }

 private:
  static DWORD WINAPI Accept(void* pipe);
  HANDLE pipe_ = INVALID_HANDLE_VALUE;
  HANDLE thread_ = nullptr;
};
