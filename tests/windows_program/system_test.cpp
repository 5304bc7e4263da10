// The About box and the system commands, a second copy of the program, the
// refusal of a non-NT platform and closing with a client connected.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/win_driver.h"

namespace {

constexpr WPARAM kAbout = 0x6000;  // The system menu's "About".

// The About text as both programs must show it (tests/support/about_text.txt,
// which the Linux program's test reads too), without its final line feed.
std::string AboutText() {
  std::ifstream in(ProgramPath("ABOUT_TEXT"), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

using Running = ServerTest;

using About = Running;

TEST_F(About, ShowsTheTextWithTheInformationIcon) {
  PostMessageA(window_, WM_SYSCOMMAND, kAbout, 0);
  HWND box = WaitForMessageBox(server().pid(), 5000);
  ASSERT_NE(box, nullptr);
  const BoxContents about = ReadMessageBox(box);
  EXPECT_EQ(about.caption, "Pipe Server Vantrelle");
  const std::string want = AboutText();
  ASSERT_FALSE(want.empty()) << "cannot read ABOUT_TEXT";
  EXPECT_EQ(about.text, want);
  EXPECT_EQ(about.icon, BoxIcon::kInformation);
  EXPECT_EQ(about.owner, nullptr);
  EXPECT_TRUE(PressOk(box));
  EXPECT_TRUE(IsWindow(window_));  // Only the box has gone.
  CloseAndExpectExit();
}

TEST_F(About, OtherSystemCommandsKeepTheirDefaults) {
  PostMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(window_) != FALSE; }, 3000));
  PostMessageA(window_, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(window_) == FALSE; }, 3000));
  EXPECT_EQ(WaitForMessageBox(server().pid(), 500), nullptr);  // No About for them.
  PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(server().WaitForExit(5000), 0);
}

using SecondCopy = Running;

TEST_F(SecondCopy, ReportsThePipeErrorWhileTheFirstServes) {
  Server second("");
  ASSERT_TRUE(second.started());
  HWND box = WaitForMessageBox(second.pid(), 10000);
  ASSERT_NE(box, nullptr);
  const BoxContents error = ReadMessageBox(box);
  EXPECT_EQ(error.caption, "Debug Window");
  EXPECT_EQ(error.text, "Error return code from CreateNamedPipe = 231.");
  EXPECT_EQ(error.icon, BoxIcon::kInformation);
  HWND secondWindow = second.WaitForWindow(5000);
  EXPECT_NE(secondWindow, nullptr);
  EXPECT_EQ(error.owner, secondWindow);  // The listener's box has the window as owner.

  // The first copy still serves the pipe: the line reaches it.
  EXPECT_EQ(RunLightsend({">5L8001"}), 0);
  EXPECT_TRUE(PressOk(box));
  PostMessageA(secondWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(second.WaitForExit(5000), 0);
  // The lamps of 0x8001, once the second copy's window no longer covers
  // the first's.
  EXPECT_TRUE(WaitUntil([&] { return ShowsLamps(window_, 0x8001); }, 3000))
      << LampsDiffer(CaptureClient(window_), 0x8001);
  CloseAndExpectExit();
}

using Closing = Running;

TEST_F(Closing, EndsWithCodeZeroWhileAClientStaysSilent) {
  PipeClient client;
  ASSERT_TRUE(client.connected());
  Sleep(300);  // The listener is now blocked in its read.
  const DWORD start = GetTickCount();
  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(server().WaitForExit(5000), 0);
  // Wine takes about two seconds to end this process, with a client or
  // without one; a listener that held the exit up would take much longer.
  EXPECT_LT(GetTickCount() - start, 4000u);
}

// Wine reports the platform named for a program under AppDefaults; a copy
// under its own name keeps the setting away from every other test.
TEST(NotNt, RefusesWithTheStopBoxAndCodeZero) {
  const char key[] = "Software\\Wine\\AppDefaults\\pipeserver_win98.exe";
  HKEY appDefaults = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &appDefaults,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(appDefaults, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
  RegCloseKey(appDefaults);

  {
    Server server("", ProgramPath("PIPESERVER_WIN98_EXE"));
    EXPECT_TRUE(server.started());
    HWND box = WaitForMessageBox(server.pid(), 10000);
    EXPECT_NE(box, nullptr);
    if (box != nullptr) {
      const BoxContents refusal = ReadMessageBox(box);
      EXPECT_EQ(refusal.caption, "Pipe Server Vantrelle");
      EXPECT_EQ(refusal.text, "CreateNamedPipe will only work on Windows NT.");
      EXPECT_EQ(refusal.icon, BoxIcon::kHand);
      EXPECT_EQ(server.WaitForWindow(0), nullptr);
      EXPECT_TRUE(PressOk(box));
    }
    EXPECT_EQ(server.WaitForExit(5000), 0);
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, key);
}

}  // namespace
