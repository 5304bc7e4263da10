// The command tail as the title shows it, and where the window opens.
#include <gtest/gtest.h>

#include "tests/e2e-win/win_driver.h"

namespace {

struct TailCase {
  const char* tail;
  const char* titlePort;  // What the title's (p:...) shows.
};

// Starts the program with tail, closes each box that comes before the window
// with OK, and returns the boxes in order.
std::vector<BoxContents> BoxesBeforeTheWindow(const Server& server, HWND* window) {
  std::vector<BoxContents> boxes;
  *window = nullptr;
  WaitUntil(
      [&] {
        if (HWND box = WaitForMessageBox(server.pid(), 0)) {
          boxes.push_back(ReadMessageBox(box));
          if (!PressOk(box)) return true;  // Stuck: the caller sees the count.
        }
        *window = server.WaitForWindow(0);
        return *window != nullptr;
      },
      20000);
  return boxes;
}

void ExpectTitleAndClose(Server& server, HWND window, const char* titlePort) {
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowTitle(window), std::string("Pipe Server Vantrelle (p:") + titlePort + ")");
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(server.WaitForExit(5000), 0);
}

TEST(Title, EmulationModeTails) {
  const TailCase cases[] = {
      {"-p 000", "0"}, {"-P 000", "0"}, {"-p 78", "0"},   {"-p378", "0"},
      {"/p 378", "0"}, {"", "0"},       {"-p xyz", "0"},
  };
  for (const TailCase& c : cases) {
    SCOPED_TRACE(std::string("tail \"") + c.tail + "\"");
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    Server server(c.tail);
    ASSERT_TRUE(server.started());
    HWND window = nullptr;
    EXPECT_TRUE(BoxesBeforeTheWindow(server, &window).empty());
    ExpectTitleAndClose(server, window, c.titlePort);
  }
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
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    Server server(c.tail);
    ASSERT_TRUE(server.started());
    HWND window = nullptr;
    const std::vector<BoxContents> boxes = BoxesBeforeTheWindow(server, &window);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Pipe Server Vantrelle");
    EXPECT_NE(boxes[0].text.find(c.address), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].icon, BoxIcon::kExclamation);
    ExpectTitleAndClose(server, window, "0");
  }
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
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(server.WaitForExit(5000), 0);
}

}  // namespace
