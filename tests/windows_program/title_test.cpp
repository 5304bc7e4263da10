// The command tail as the title shows it, from tails and from whole
// command lines, and where the window opens.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/win_driver.h"

namespace {

struct TailCase {
  const char* tail;
  const char* titlePort;  // What the title's (p:...) shows.
};

void ExpectTitleAndClose(Server& server, HWND window, const char* titlePort) {
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowTitle(window), std::string("Pipe Server Vantrelle (p:") + titlePort + ")");
  EXPECT_EQ(server.Close(window), 0);
}

// Starts exe with the tail or whole command line (once no copy from before
// runs), hands the boxes that came before the window to checkBoxes, then
// checks the title's port and that the window closes with code 0.
template <typename Line>
void CheckTail(const std::string& exe, const Line& tail, const char* titlePort,
               const std::function<void(const std::vector<BoxContents>&)>& checkBoxes) {
  ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
  Server server(tail, exe);
  ASSERT_TRUE(server.started());
  HWND window = nullptr;
  checkBoxes(BoxesBeforeTheWindow(server, &window));
  ExpectTitleAndClose(server, window, titlePort);
}

void ExpectNoBox(const std::vector<BoxContents>& boxes) {
  EXPECT_TRUE(boxes.empty()) << "first box: " << boxes[0].text;
}

// Without the port driver beside the program, as under Wine, a port tail
// meets no access: one warning naming the address, then the emulation mode.
TEST(Title, PortTailsWithoutPortAccess) {
  const struct {
    const char* tail;
    const char* address;
  } cases[] = {
      {"-p 378", "378"}, {"-P 3bc", "3BC"}, {"-p 12345", "2345"}, {"-p 378 abc", "378"}, {"-p  78", "78"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("tail \"") + c.tail + "\"");
    CheckTail(ProgramPath("PIPESERVER_EXE"), std::string(c.tail), "0", [&](const std::vector<BoxContents>& boxes) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].caption, "Pipe Server Vantrelle");
      const std::string opening = std::string("No access to the parallel port at ") + c.address + ".";
      EXPECT_EQ(boxes[0].text.substr(0, opening.size()), opening) << boxes[0].text;
      EXPECT_EQ(boxes[0].icon, BoxIcon::kExclamation);
    });
  }
}

// A copy of the program beside a stand-in of the port driver DLL, which
// notes every port access in the file that PORT_TEST_LOG names.
class PortDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = ProgramPath("PIPESERVER_DRIVER_EXE");
    ASSERT_FALSE(exe_.empty()) << "PIPESERVER_DRIVER_EXE is not set";
    log_ = ProgramPath("PORT_LOG");
    DeleteFileA(log_.c_str());
    SetEnvironmentVariableA("PORT_TEST_LOG", log_.c_str());  // The program inherits it.
  }
  void TearDown() override { SetEnvironmentVariableA("PORT_TEST_LOG", nullptr); }

  // The port accesses so far ("R 037A FF", "W 0378 34"), without the
  // driver question.
  std::vector<std::string> Accesses() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && (line[0] == 'R' || line[0] == 'W')) lines.push_back(line);
    return lines;
  }
  std::string exe_, log_;
};

TEST_F(PortDriver, TitlesNameThePort) {
  const TailCase cases[] = {
      {"-p 378", "378"}, {"-p 12345", "2345"}, {"-p 378 abc", "378"}, {"-p  78", "78"}, {"-P 000", "0"},
      // No port: the emulation mode (the other such tails: CommandTail's table).
      {"", "0"}, {"-p xyz", "0"}, {"-p 78", "0"},
  };
  for (const TailCase& c : cases) {
    SCOPED_TRACE(std::string("tail \"") + c.tail + "\"");
    CheckTail(exe_, std::string(c.tail), c.titlePort, ExpectNoBox);
  }
}

// The tail as the program cuts it from its own command line
// (GetCommandLineA), started with whole command lines written by hand.
using WholeCommandLine = PortDriver;

TEST_F(WholeCommandLine, TheTailFollowsTheProgramsName) {
  const TailCase cases[] = {
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
  for (const TailCase& c : cases) {
    SCOPED_TRACE(std::string("command line ") + c.tail);
    CheckTail(exe_, RawCommandLine{c.tail}, c.titlePort, ExpectNoBox);
  }
}

TEST_F(PortDriver, LinesReachThePort) {
  Server server("-p 378", exe_);
  HWND window = server.WaitForWindow(10000);
  ASSERT_NE(window, nullptr);
  // The set-up: pins 16 and 17 low, other control bits as read (FF).
  EXPECT_EQ(Accesses(), (std::vector<std::string>{"R 037A FF", "W 037A FB"}));
  ASSERT_EQ(RunLightsend({">5L1234"}), 0);
  EXPECT_TRUE(WaitUntil([&] { return Accesses().size() >= 9; }, 3000));
  EXPECT_EQ(Accesses(), (std::vector<std::string>{"R 037A FF", "W 037A FB", "W 0378 34", "R 037A FF",
                                                   "W 037A FF", "W 037A FB", "W 0378 12", "W 037A F3",
                                                   "W 037A FB"}));
  EXPECT_EQ(server.Close(window), 0);
}

// Twelve stop boxes before the window, each open while the state it names
// is on the pins: the last access when it shows is the write it describes.
TEST_F(PortDriver, HardwareTestBoxesBeforeTheWindow) {
  Server server("-P 3bc", exe_);
  HWND window = nullptr;
  std::vector<std::string> lastAccess;
  const std::vector<BoxContents> boxes = BoxesBeforeTheWindow(server, &window, [&](const BoxContents&) {
    const std::vector<std::string> accesses = Accesses();
    lastAccess.push_back(accesses.empty() ? "" : accesses.back());
  });
  const struct {
    const char* text;
    const char* write;
  } steps[] = {
      {"start test: pin2..9=low, pin16+17=low", "W 03BC 00"},
      {"pin16=high", "W 03BE FF"}, {"pin17=high", "W 03BE F3"},
      {"set Pin_2: high", "W 03BC 01"}, {"set Pin_3: high", "W 03BC 02"},
      {"set Pin_4: high", "W 03BC 04"}, {"set Pin_5: high", "W 03BC 08"},
      {"set Pin_6: high", "W 03BC 10"}, {"set Pin_7: high", "W 03BC 20"},
      {"set Pin_8: high", "W 03BC 40"}, {"set Pin_9: high", "W 03BC 80"},
      {"end of test...", "W 03BC 00"},
  };
  std::string seen;
  for (const BoxContents& box : boxes) seen += "\n  " + box.text;
  ASSERT_EQ(boxes.size(), 12u) << "boxes:" << seen;
  for (size_t i = 0; i < boxes.size(); ++i) {
    SCOPED_TRACE("box " + std::to_string(i + 1));
    EXPECT_EQ(boxes[i].text, steps[i].text);
    EXPECT_EQ(boxes[i].caption, "Pipe Server Vantrelle");
    EXPECT_EQ(boxes[i].icon, BoxIcon::kHand);
    EXPECT_EQ(lastAccess[i], steps[i].write);
  }
  ExpectTitleAndClose(server, window, "3BC");
}

TEST(Place, TenPixelsRightOfTheCentre) {
  Server server("");
  HWND window = server.WaitForWindow(10000);
  ASSERT_NE(window, nullptr);
  const int screenWidth = GetSystemMetrics(SM_CXFULLSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYFULLSCREEN);
  RECT frame, client;
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  EXPECT_EQ(frame.left, (screenWidth - 246) / 2);
  EXPECT_EQ(frame.top, (screenHeight - 113) / 2);
  EXPECT_EQ(frame.right - frame.left, 266);
  EXPECT_EQ(frame.bottom - frame.top, 113);
  // The client area holds the whole picture: 256 pixels across, to y = 84.
  EXPECT_GE(client.right, 256);
  EXPECT_GE(client.bottom, 84);
  std::printf("screen %dx%d (full-screen client area), window %ld,%ld %ldx%ld, client %ldx%ld\n",
              screenWidth, screenHeight, frame.left, frame.top, frame.right - frame.left,
              frame.bottom - frame.top, client.right, client.bottom);
  EXPECT_EQ(server.Close(window), 0);
}

}  // namespace
