// Floods of lines at the real Windows program under Wine, and a short soak
// of client sessions. The flood tests run pipeserver_flood.exe, the
// program's own sources built with a paint counter that it keeps in the
// window property "PipeserverPaints"; the soak runs pipeserver.exe itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/win_driver.h"

namespace {

constexpr WPARAM kAbout = 0x6000;  // The system menu's "About".
unsigned long Paints(HWND window) {
  return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(GetPropA(window, "PipeserverPaints")));
}

// The count once it has not moved for half a second.
unsigned long SettledPaints(HWND window) {
  unsigned long now = Paints(window), before;
  do {
    before = now;
    Sleep(500);
    now = Paints(window);
  } while (now != before);
  return now;
}

// A file of n distinct light commands, one a line, for lightsend's stdin.
std::string FloodFile(int n) {
  char directory[MAX_PATH], path[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  std::snprintf(path, sizeof path, "%sflood_%d_%lu.txt", directory, n, GetCurrentProcessId());
  FILE* file = std::fopen(path, "wb");
  for (int i = 0; i < n; ++i) std::fprintf(file, ">5L%04X\n", i & 0xFFFF);
  std::fclose(file);
  return path;
}

// lightsend.exe --delay 0 - with the file as its standard input, in the
// driver's job like every program the tests start.
std::unique_ptr<Process> StartFlood(int n) { return StartLightsend("--delay 0 -", FloodFile(n)); }

class Flood : public ServerTest {
 protected:
  Flood() : ServerTest(ProgramPath("PIPESERVER_FLOOD_EXE")) {}
  void SetUp() override {
    ServerTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(WaitUntil([&] { return Paints(window_) > 0; }, 5000)) << "no paint count on the window";
  }
  void TearDown() override { CloseAndExpectExit(); }
  // Sends n lines with one lightsend run; the paints that it caused.
  unsigned long FloodPaints(int n) {
    const unsigned long before = SettledPaints(window_);
    const DWORD start = GetTickCount();
    {
      const std::unique_ptr<Process> flooder = StartFlood(n);
      EXPECT_TRUE(flooder->started());
      EXPECT_EQ(flooder->WaitForExit(60000), 0) << "lightsend on " << n << " lines";
    }
    const unsigned long paints = SettledPaints(window_) - before;
    std::printf("flood of %d lines: %lu ms, %lu paints\n", n, GetTickCount() - start, paints);
    return paints;
  }
};

// Paints coalesce: InvalidateRect merges the requests that come before the
// next WM_PAINT, so there are fewer paints than lines. Under Wine the UI
// still paints whenever its queue is empty (hundreds a second), so the
// count follows the flood's length: the bound is one paint per two lines,
// which a paint per line applied would break.
TEST_F(Flood, PaintsCoalesce) {
  const int small = 2000, large = 20000;
  const unsigned long smallPaints = FloodPaints(small);
  const unsigned long largePaints = FloodPaints(large);
  EXPECT_GE(smallPaints, 1u);
  EXPECT_LE(smallPaints * 2, unsigned(small));
  EXPECT_LE(largePaints * 2, unsigned(large));
}

// The About box opens while lightsend floods the pipe, and the line sent
// after a short pause at the end is the one shown.
TEST_F(Flood, AboutOpensDuringFloodThenLastLineShows) {
  {
    const std::unique_ptr<Process> flooder = StartFlood(20000);
    ASSERT_TRUE(flooder->started());
    const unsigned long before = Paints(window_);
    ASSERT_TRUE(WaitUntil([&] { return Paints(window_) > before + 1; }, 10000)) << "the flood does not paint";
    ASSERT_TRUE(flooder->Running()) << "the flood ended before the About box was asked for";
    const DWORD start = GetTickCount();
    PostMessageA(window_, WM_SYSCOMMAND, kAbout, 0);
    HWND box = WaitForMessageBox(server().pid(), 5000);
    const DWORD latency = GetTickCount() - start;
    ASSERT_NE(box, nullptr) << "no About box within 5 s during the flood";
    EXPECT_TRUE(flooder->Running()) << "the box came, but only after the flood";
    std::printf("About box during the flood: %lu ms\n", latency);
    EXPECT_EQ(ReadMessageBox(box).caption, "Pipe Server Vantrelle");
    EXPECT_TRUE(PressOk(box));
    EXPECT_EQ(flooder->WaitForExit(60000), 0);
  }
  Sleep(300);
  PipeClient client;  // Stays connected: the text shows the line, not ">xxx".
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Send(">5L8001\n"));
  EXPECT_TRUE(WaitUntil([&] { return ShowsLamps(window_, 0x8001) && ShowsText(window_, ">5L8001"); }, 5000))
      << "the picture does not show >5L8001:\n" << LampsDiffer(CaptureClient(window_), 0x8001);
}

// Sessions of lightsend.exe and of the driver's own client against the
// shipped program: 1 to 5 paced lines each, some closed in the middle of a
// line. Handles are not counted: GetProcessHandleCount gives 0 under Wine 8
// and another process's handles cannot be probed from here.
using Soak = ServerTest;

TEST_F(Soak, FiftySessionsThenLastLineShows) {
  std::mt19937 random(7);
  unsigned last = 0;
  for (int session = 0; session < 50; ++session) {
    std::vector<std::string> lines;
    unsigned value = 0;
    for (int i = int(random() % 5); i >= 0; --i) {
      value = random() & 0xFFFF;
      char line[16];
      std::snprintf(line, sizeof line, ">5L%04X", value);
      lines.push_back(line);
    }
    if (session % 2 == 0) {
      lines.insert(lines.begin(), {"--delay", "20"});
      ASSERT_EQ(RunLightsend(lines), 0) << "session " << session;
      last = value;
      continue;
    }
    PipeClient client;
    ASSERT_TRUE(client.connected()) << "session " << session;
    const bool cut = session % 4 == 3 && session != 49;
    for (size_t i = 0; i < lines.size(); ++i) {
      const bool lastLine = i + 1 == lines.size();
      ASSERT_TRUE(client.Send(cut && lastLine ? lines[i].substr(0, 4) : lines[i] + "\n"));
      Sleep(20);
    }
    if (!cut) last = value;
  }
  EXPECT_TRUE(WaitUntil([&] { return ShowsLamps(window_, last) && ShowsText(window_, ">xxx"); }, 5000))
      << "the picture does not show the last line, " << std::hex << last << ":\n"
      << LampsDiffer(CaptureClient(window_), last);
  CloseAndExpectExit();
}

}  // namespace
