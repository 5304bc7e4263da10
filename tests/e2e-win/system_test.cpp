// The About box and the system commands, a second copy of the program, the
// refusal of a non-NT platform and closing with a client connected.
#include <gtest/gtest.h>

#include "pipe/pipe_name.h"
#include "tests/e2e-win/win_driver.h"

namespace {

constexpr WPARAM kAbout = 0x6000;  // The system menu's "About".

const char kAboutText[] =
    "Simple Pipe Server V1.02 for the Vantrelle plugin.\n"
    "Reading winamp data from the pipe:\n"
    PIPE_WINDOWS_PATH "\n"
    "\n"
    "Startup parameter:\n"
    "-p PortNr\n"
    "e.g. 378, 278, 3BC for LPTx or 000 for EMU\n"
    "call it with upper case '-P PortNr' for HW test\n"
    "\n"
    "Two rows of eight lamps, most significant bit at the left.";

class Running : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    ASSERT_TRUE(server_.started());
    window_ = server_.WaitForWindow(10000);
    ASSERT_NE(window_, nullptr);
  }
  Server server_{""};
  HWND window_ = nullptr;
};

using About = Running;

TEST_F(About, ShowsTheTextWithTheInformationIcon) {
  PostMessageA(window_, WM_SYSCOMMAND, kAbout, 0);
  HWND box = WaitForMessageBox(server_.pid(), 5000);
  ASSERT_NE(box, nullptr);
  const BoxContents about = ReadMessageBox(box);
  EXPECT_EQ(about.caption, "Pipe Server Vantrelle");
  EXPECT_EQ(about.text, kAboutText);
  EXPECT_EQ(about.icon, BoxIcon::kInformation);
  EXPECT_EQ(about.owner, nullptr);
  EXPECT_TRUE(PressOk(box));
  EXPECT_TRUE(IsWindow(window_));  // Only the box has gone.

  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(server_.WaitForExit(5000), 0);
}

TEST_F(About, OtherSystemCommandsKeepTheirDefaults) {
  PostMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(window_) != FALSE; }, 3000));
  PostMessageA(window_, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(window_) == FALSE; }, 3000));
  EXPECT_EQ(WaitForMessageBox(server_.pid(), 500), nullptr);  // No About for them.
  PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(server_.WaitForExit(5000), 0);
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
  // Row 1's rightmost lamp and row 2's leftmost: 0x8001, once the second
  // copy's window no longer covers the first's.
  EXPECT_TRUE(WaitUntil(
      [&] {
        const Pixels shown = CaptureClient(window_);
        return shown.At(7 * 32 + 16, 36) == 0x00FFFF && shown.At(16, 68) == 0x00FFFF &&
               shown.At(16, 36) == 0;
      },
      3000));
  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(server_.WaitForExit(5000), 0);
}

using Closing = Running;

TEST_F(Closing, EndsWithCodeZeroWhileAClientStaysSilent) {
  PipeClient client;
  ASSERT_TRUE(client.connected());
  Sleep(300);  // The listener is now blocked in its read.
  const DWORD start = GetTickCount();
  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(server_.WaitForExit(5000), 0);
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
