// The real window procedure and painter under Wine, with a listener of the
// test's own in place of the pipe: when MainWindow is known, and what
// PaintLamps puts into the pixels.
#include <gtest/gtest.h>

#include <cstring>

#include "app/app_win.h"
#include "app/lamp_picture.h"
#include "lights/light_control.h"
#include "pipe/pipe_listener.h"

namespace {

// What the listener saw when it started.
HANDLE ListenerStarted;
HWND MainWindowAtStart;
void* OwnerAtStart;

}  // namespace

// Stands in for the pipe listener: notes what it was handed and stops.
int PipeListenThread(void* owner) {
  MainWindowAtStart = MainWindow.load();
  OwnerAtStart = owner;
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

// PaintLamps into a 32-bit DIB, read back pixel by pixel.
class PaintedPicture : public ::testing::Test {
 protected:
  static constexpr int kWidth = 260, kHeight = 90;

  void Paint(const char* line) {
    CreateDrawingObjects();
    ClearDisplayState();
    if (line != nullptr) ApplyLightLine(line);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;  // Top-down rows.
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    SelectObject(dc_, bitmap_);
    RECT all = {0, 0, kWidth, kHeight};
    FillRect(dc_, &all, BlackBrush);  // What WM_ERASEBKGND does with the class brush.
    PaintLamps(dc_);
    GdiFlush();
  }
  void TearDown() override {
    if (dc_ != nullptr) DeleteDC(dc_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  // As COLORREF 0x00BBGGRR; the DIB holds 0x00RRGGBB.
  uint32_t At(int x, int y) const {
    const uint32_t p = bits_[y * kWidth + x] & 0xFFFFFF;
    return ((p & 0xFF) << 16) | (p & 0xFF00) | (p >> 16);
  }
  bool TextPixelsIn(int left, int right, int height) const {
    for (int y = 0; y < height; ++y)
      for (int x = left; x < right; ++x)
        if (At(x, y) == kTextColour) return true;
    return false;
  }

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  uint32_t* bits_ = nullptr;
};

TEST_F(PaintedPicture, LitCirclesFollowTheBitsMostSignificantAtTheLeft) {
  Paint(">5L8001");  // LampBank0 0x01, LampBank1 0x80.
  for (int column = 0; column < 8; ++column) {
    const int x = 32 * column + 16;
    EXPECT_EQ(At(x, 36), column == 7 ? kLitColour : kDarkColour) << "row 1, column " << column;
    EXPECT_EQ(At(x, 68), column == 0 ? kLitColour : kDarkColour) << "row 2, column " << column;
  }
}

TEST_F(PaintedPicture, EveryCircleHasAGrayOutline) {
  Paint(">5LFFFF");
  for (int column = 0; column < 8; ++column) {
    EXPECT_EQ(At(32 * column + 16, 20), kOutlineColour) << "top of row 1, column " << column;
    EXPECT_EQ(At(32 * column, 36), kOutlineColour) << "left of row 1, column " << column;
    EXPECT_EQ(At(32 * column + 16, 83), kOutlineColour) << "bottom of row 2, column " << column;
    EXPECT_EQ(At(32 * column + 2, 54), kBackgroundColour) << "corner outside column " << column;
  }
}

TEST_F(PaintedPicture, StatusTextGrayOnBlackAtTheTopLeft) {
  Paint(nullptr);
  EXPECT_FALSE(TextPixelsIn(0, 64, 18));
  Paint(">???");
  EXPECT_TRUE(TextPixelsIn(0, 64, 18));
  EXPECT_FALSE(TextPixelsIn(64, kWidth, 18));  // Four characters, no more.
}

}  // namespace
