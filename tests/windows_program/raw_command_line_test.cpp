// The command tail as the program cuts it from its own command line
// (GetCommandLineA), started with whole command lines written by hand. The
// copy beside the port driver stand-in shows the port it was given in its
// title, so the title tells the tail.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/win_driver.h"

namespace {

struct RawCase {
  const char* line;
  const char* titlePort;  // What the title's (p:...) shows.
};

TEST(RawCommandLine, TheTailFollowsTheProgramsName) {
  const std::string exe = ProgramPath("PIPESERVER_DRIVER_EXE");
  if (exe.empty()) GTEST_SKIP() << "no port driver stand-in in this build";
  const RawCase cases[] = {
      {"\"C:\\x\\pipeserver.exe\"-p 378", "378"},  // No blank after the closing quote.
      {"\"C:\\Program Files\\x\\pipeserver.exe\" -p 3bc", "3BC"},
      {"C:\\x\\pipeserver.exe -p 378", "378"},
      {"C:\\x\\pip\xE9server.exe -p 278", "278"},  // A byte above 0x7F in an unquoted name.
      {"pipeserver.exe\t-p 378", "378"},
      {"pipeserver.exe \t -p 3bc", "3BC"},
      {"pipeserver.exe \xA0-p 378", "0"},  // 0xA0 is not skipped: the tail starts with it.
      {"\"C:\\x\\pipe\"server.exe -p 378", "0"},  // The tail is "server.exe -p 378".
      {"\"C:\\x\\pipeserver.exe -p 378", "0"},    // No closing quote: all of it is the name.
      {"pipeserver.exe", "0"},
  };
  for (const RawCase& c : cases) {
    SCOPED_TRACE(std::string("command line ") + c.line);
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    Server server(RawCommandLine{c.line}, exe);
    ASSERT_TRUE(server.started());
    HWND window = server.WaitForWindow(10000);
    if (window == nullptr) {
      HWND box = WaitForMessageBox(server.pid(), 0);
      ADD_FAILURE() << "no window; box: " << (box ? ReadMessageBox(box).text : "none");
      continue;
    }
    EXPECT_EQ(WindowTitle(window), std::string("Pipe Server Vantrelle (p:") + c.titlePort + ")");
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(server.WaitForExit(5000), 0);
  }
}

}  // namespace
