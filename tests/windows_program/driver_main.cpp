// The driver's entry point: its tests by default, or one command that other
// scripts use to see the real window.
//   win_driver capture-after-line OUT.ppm LINE
//       starts pipeserver.exe, sends LINE with lightsend.exe and saves the
//       client area, as the program drew it, to OUT.ppm (binary PPM, P6)
//   win_driver [gtest options]
//       runs the tests
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "tests/support/win_driver.h"

namespace {

int Fail(const char* message) {
  std::fprintf(stderr, "win_driver: %s\n", message);
  return 2;
}

// The marker ">xxx" comes after the line has been applied, so once it shows,
// the lamps on the screen are the line's.
int CaptureAfterLine(const char* file, const char* line) {
  Server server("");
  if (!server.started()) return Fail("cannot start pipeserver.exe");
  HWND window = server.WaitForWindow(10000);
  if (window == nullptr) return Fail("no main window");
  if (!WaitUntil([&] { return ShowsText(window, ">???"); }, 5000)) return Fail("the listener's marker did not show");
  if (RunLightsend({line}) != 0) return Fail("lightsend failed");
  if (!WaitUntil([&] { return ShowsText(window, ">xxx"); }, 5000)) return Fail("the line was not shown");
  const bool written = WritePpm(CaptureClient(window), file);
  if (server.Close(window) != 0) return Fail("the program did not end with exit code 0");
  return written ? 0 : Fail("cannot write the capture");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "capture-after-line") == 0) {
    if (argc != 4) return Fail("usage: win_driver capture-after-line OUT.ppm LINE");
    return CaptureAfterLine(argv[2], argv[3]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
