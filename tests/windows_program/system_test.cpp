// The About box and the system commands, a second copy of the program and
// closing with a client connected. (The refusal of a non-NT platform is in
// versions_test.cpp.)
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

using About = ServerTest;

TEST_F(About, ShowsTheTextWithTheInformationIcon) {
  PostMessageA(window_, WM_SYSCOMMAND, kAbout, 0);
  HWND box = WaitForMessageBox(server().pid(), 5000);
  ASSERT_NE(box, nullptr);
  const std::string want = AboutText();
  ASSERT_FALSE(want.empty()) << "cannot read ABOUT_TEXT";
  EXPECT_EQ(ReadMessageBox(box),
            (BoxContents{"Pipe Server Vantrelle", want, BoxIcon::kInformation, nullptr}));
  EXPECT_TRUE(PressOk(box));
  EXPECT_TRUE(IsWindow(window_));  // Only the box has gone.
  CloseAndExpectExit();
}

TEST_F(About, OtherSystemCommandsKeepTheirDefaults) {
  PostMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(window_) != FALSE; }, 3000));
  PostMessageA(window_, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(window_) == FALSE; }, 3000));
  PostMessageA(window_, WM_SYSCOMMAND, 0x6010, 0);  // "Outputs...", which a run without outputs lacks.
  EXPECT_EQ(WaitForMessageBox(server().pid(), 500), nullptr);  // No box for any of them.
  PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(server().WaitForExit(5000), 0);
}

using SecondCopy = ServerTest;

TEST_F(SecondCopy, ReportsThePipeErrorWhileTheFirstServes) {
  Server second("");
  ASSERT_TRUE(second.started());
  HWND box = WaitForMessageBox(second.pid(), 10000);
  ASSERT_NE(box, nullptr);
  HWND secondWindow = second.WaitForWindow(5000);
  EXPECT_NE(secondWindow, nullptr);
  // The listener's box has the window as owner.
  EXPECT_EQ(ReadMessageBox(box), (BoxContents{"Debug Window",
                                              "Error return code from CreateNamedPipe = 231.",
                                              BoxIcon::kInformation, secondWindow}));

  // The first copy still serves the pipe: the line reaches it.
  EXPECT_EQ(RunLightsend({">5L8001"}), 0);
  EXPECT_TRUE(PressOk(box));
  EXPECT_EQ(second.Close(secondWindow), 0);
  // The lamps of 0x8001, once the second copy's window no longer covers
  // the first's.
  EXPECT_TRUE(WaitUntil([&] { return ShowsLamps(window_, 0x8001); }, 3000))
      << LampsDiffer(CaptureClient(window_), 0x8001);
  CloseAndExpectExit();
}

using Closing = ServerTest;

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

}  // namespace
