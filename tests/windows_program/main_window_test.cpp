// The real window procedure and painter under Wine, with a listener of the
// test's own in place of the pipe: when MainWindow is known, and what
// PaintLamps puts into the pixels.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/app_win.h"
#include "lights/light_control.h"
#include "pipe/pipe_listener.h"
#include "tests/support/win_driver.h"

namespace {

// What the listener saw when it started.
HANDLE ListenerStarted;
HWND MainWindowAtStart;
void* OwnerAtStart;

}  // namespace

// Stands in for the pipe listener: notes what it was handed and stops.
int PipeListenThread(const ListenerSink& sink) {
  MainWindowAtStart = MainWindow.load();
  OwnerAtStart = sink.context;
  SetEvent(ListenerStarted);
  return 0;
}

namespace {

void CreateDrawingObjects() {
  if (BlackBrush != nullptr) return;
  BlackBrush = CreateSolidBrush(0x000000);
  YellowBrush = CreateSolidBrush(0x00FFFF);
  GrayPen = CreatePen(PS_SOLID, 1, 0x808080);
}

TEST(MainWindowProcedure, KnowsTheWindowBeforeTheListenerStarts) {
  CreateDrawingObjects();
  ListenerStarted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  MainWindow.store(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PipeWndProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = BlackBrush;
  windowClass.lpszClassName = "PipeWClassTest";
  ASSERT_NE(RegisterClassA(&windowClass), 0);

  // Nothing here stores the handle: only WM_CREATE can have done it.
  HWND window = CreateWindowExA(0, "PipeWClassTest", "test", WS_OVERLAPPEDWINDOW, 0, 0, 266, 113,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(WaitForSingleObject(ListenerStarted, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(MainWindowAtStart, window);
  EXPECT_EQ(OwnerAtStart, static_cast<void*>(window));

  // Destroying the window ends the message loop with code 0.
  DestroyWindow(window);
  MSG message = {};
  bool quit = false;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    if (message.message == WM_QUIT) quit = true;
  EXPECT_TRUE(quit);
  EXPECT_EQ(message.wParam, 0u);
}

// PaintLamps into a picture that is black before, as WM_ERASEBKGND leaves
// it with the class brush; checked by the driver's reading of the screen.
Pixels Painted(const char* line) {
  CreateDrawingObjects();
  ClearDisplayState();
  if (line != nullptr) ApplyLightLine(line);
  return DrawnPixels(260, 90, [](HDC dc) { PaintLamps(dc); });
}

bool TextPixelsIn(const Pixels& picture, int left, int right, int height) {
  for (int y = 0; y < height; ++y)
    for (int x = left; x < right; ++x)
      if (picture.At(x, y) == kTextColour) return true;
  return false;
}

// Each circle's centre lit or dark by its bit, most significant at the
// left; its gray outline on four sides; black between the circles.
TEST(PaintedPicture, CirclesFollowTheBitsWithGrayOutlines) {
  for (const unsigned value : {0x8001u, 0xFFFFu, 0x0000u}) {
    char line[16];
    std::snprintf(line, sizeof line, ">5L%04X", value);
    EXPECT_EQ(LampsDiffer(Painted(line), value), "") << line;
  }
}

TEST(PaintedPicture, StatusTextGrayOnBlackAtTheTopLeft) {
  EXPECT_FALSE(TextPixelsIn(Painted(nullptr), 0, 64, 18));
  const Pixels picture = Painted(">???");
  EXPECT_TRUE(TextPixelsIn(picture, 0, 64, 18));
  EXPECT_FALSE(TextPixelsIn(picture, 64, 260, 18));  // Four characters, no more.
}

}  // namespace
