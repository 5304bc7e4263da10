// Floods of lines at the real Windows program under Wine, and a short soak
// of client sessions. The flood tests run pipeserver_flood.exe, the
// program's own sources built with a paint counter that it keeps in the
// window property "PipeserverPaints"; the soak runs pipeserver.exe itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e-win/win_driver.h"

namespace {

constexpr WPARAM kAbout = 0x6000;  // The system menu's "About".
constexpr uint32_t kYellow = 0x00FFFF, kGray = 0x808080, kBlack = 0x000000;
constexpr int kTextWidth = 80, kTextHeight = 18;

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

bool ShowsText(HWND window, const char* text) {
  const Pixels client = CaptureClient(window);
  Pixels area;
  area.width = kTextWidth;
  area.height = kTextHeight;
  for (int y = 0; y < kTextHeight; ++y)
    for (int x = 0; x < kTextWidth; ++x) area.colours.push_back(client.At(x, y));
  return area == RenderStatusText(text, kTextWidth, kTextHeight);
}

// Every lamp as the value says: centre yellow or black, gray outline.
bool ShowsLamps(HWND window, unsigned value) {
  const Pixels shown = CaptureClient(window);
  for (int row = 0; row < 2; ++row) {
    const unsigned bank = (value >> (8 * row)) & 0xFF;
    const int top = 20 + 32 * row;
    for (int column = 0; column < 8; ++column) {
      const int left = 32 * column;
      const bool lit = (bank >> (7 - column)) & 1;
      if (shown.At(left + 16, top + 16) != (lit ? kYellow : kBlack)) return false;
      if (shown.At(left + 16, top) != kGray || shown.At(left, top + 16) != kGray) return false;
    }
  }
  return true;
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

// lightsend.exe --delay 0 - with the file as its standard input.
class Flooder {
 public:
  explicit Flooder(const std::string& file) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    input_ = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    const std::string exe = ProgramPath("LIGHTSEND_EXE");
    std::string line = "\"" + exe + "\" --delay 0 -";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process_))
      process_ = {};
  }
  ~Flooder() {
    if (Running()) TerminateProcess(process_.hProcess, 99);
    if (process_.hProcess) {
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
  }
  bool started() const { return process_.hProcess != nullptr; }
  bool Running() const { return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  // lightsend's exit code, or -1 while it still runs after ms.
  long Wait(DWORD ms) const {
    if (WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return long(code);
  }

 private:
  HANDLE input_ = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION process_ = {};
};

class Flood : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    ASSERT_TRUE(server_.started());
    window_ = server_.WaitForWindow(10000);
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Paints(window_) > 0; }, 5000)) << "no paint count on the window";
  }
  void TearDown() override {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(server_.WaitForExit(5000), 0);
  }
  // Sends n lines with one lightsend run; the paints that it caused.
  unsigned long FloodPaints(int n) {
    const unsigned long before = SettledPaints(window_);
    const DWORD start = GetTickCount();
    {
      Flooder flooder(FloodFile(n));
      EXPECT_TRUE(flooder.started());
      EXPECT_EQ(flooder.Wait(60000), 0) << "lightsend on " << n << " lines";
    }
    const unsigned long paints = SettledPaints(window_) - before;
    std::printf("flood of %d lines: %lu ms, %lu paints\n", n, GetTickCount() - start, paints);
    return paints;
  }
  Server server_{"", ProgramPath("PIPESERVER_FLOOD_EXE")};
  HWND window_ = nullptr;
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
    Flooder flooder(FloodFile(20000));
    ASSERT_TRUE(flooder.started());
    const unsigned long before = Paints(window_);
    ASSERT_TRUE(WaitUntil([&] { return Paints(window_) > before + 1; }, 10000)) << "the flood does not paint";
    ASSERT_TRUE(flooder.Running()) << "the flood ended before the About box was asked for";
    const DWORD start = GetTickCount();
    PostMessageA(window_, WM_SYSCOMMAND, kAbout, 0);
    HWND box = WaitForMessageBox(server_.pid(), 5000);
    const DWORD latency = GetTickCount() - start;
    ASSERT_NE(box, nullptr) << "no About box within 5 s during the flood";
    EXPECT_TRUE(flooder.Running()) << "the box came, but only after the flood";
    std::printf("About box during the flood: %lu ms\n", latency);
    EXPECT_EQ(ReadMessageBox(box).caption, "Pipe Server Vantrelle");
    EXPECT_TRUE(PressOk(box));
    EXPECT_EQ(flooder.Wait(60000), 0);
  }
  Sleep(300);
  PipeClient client;  // Stays connected: the text shows the line, not ">xxx".
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Send(">5L8001\n"));
  EXPECT_TRUE(WaitUntil([&] { return ShowsLamps(window_, 0x8001) && ShowsText(window_, ">5L8001"); }, 5000))
      << "the picture does not show >5L8001";
}

// Sessions of lightsend.exe and of the driver's own client against the
// shipped program: 1 to 5 paced lines each, some closed in the middle of a
// line. Handles are not counted: GetProcessHandleCount gives 0 under Wine 8
// and another process's handles cannot be probed from here.
TEST(Soak, FiftySessionsThenLastLineShows) {
  ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
  Server server("");
  HWND window = server.WaitForWindow(10000);
  ASSERT_NE(window, nullptr);
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
  EXPECT_TRUE(WaitUntil([&] { return ShowsLamps(window, last) && ShowsText(window, ">xxx"); }, 5000))
      << "the picture does not show the last line, " << std::hex << last;
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(server.WaitForExit(5000), 0);
}

}  // namespace
