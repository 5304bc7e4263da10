// What the real window shows: the status text and the sixteen lamps after
// lines sent through the pipe, read back from the screen.
#include <gtest/gtest.h>

#include "tests/e2e-win/win_driver.h"

namespace {

constexpr uint32_t kYellow = 0x00FFFF, kGray = 0x808080, kBlack = 0x000000;
constexpr int kTextWidth = 80, kTextHeight = 18;  // The status text's area.

Pixels TextArea(const Pixels& client) {
  Pixels area;
  area.width = kTextWidth;
  area.height = kTextHeight;
  for (int y = 0; y < kTextHeight; ++y)
    for (int x = 0; x < kTextWidth; ++x) area.colours.push_back(client.At(x, y));
  return area;
}

bool ShowsText(HWND window, const char* text) {
  return TextArea(CaptureClient(window)) == RenderStatusText(text, kTextWidth, kTextHeight);
}

// Every circle lit or dark as the two lamp bytes say, outlined in gray, on
// black; row 1 is bank0 (the value's low byte), bit 7 at the left.
void ExpectLamps(const Pixels& shown, unsigned value) {
  for (int row = 0; row < 2; ++row) {
    const unsigned bank = (value >> (8 * row)) & 0xFF;
    const int top = 20 + 32 * row;
    for (int column = 0; column < 8; ++column) {
      const int left = 32 * column;
      const bool lit = (bank >> (7 - column)) & 1;
      SCOPED_TRACE("row " + std::to_string(row + 1) + ", column " + std::to_string(column));
      EXPECT_EQ(shown.At(left + 16, top + 16), lit ? kYellow : kBlack) << "centre";
      EXPECT_EQ(shown.At(left + 16, top), kGray) << "top edge";
      EXPECT_EQ(shown.At(left, top + 16), kGray) << "left edge";
      EXPECT_EQ(shown.At(left + 2, top + 2), kBlack) << "between circles";
    }
  }
}

// Sends one line with lightsend and waits for the circle that tells it
// apart to show its new colour.
void SendAndWait(HWND window, const char* line, unsigned value) {
  ASSERT_EQ(RunLightsend({line}), 0) << line;
  const int x = 32 * 7 + 16, y = 36;  // Row 1's rightmost lamp: bit 0 of the value.
  const uint32_t want = (value & 1) ? kYellow : kBlack;
  WaitUntil([&] { return CaptureClient(window).At(x, y) == want && ShowsText(window, ">xxx"); }, 3000);
}

class Lamps : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.started());
    window_ = server_.WaitForWindow(10000);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(server_.WaitForExit(5000), 0);
  }
  Server server_{""};
  HWND window_ = nullptr;
};

TEST_F(Lamps, ListeningMarkerThenEveryLampDark) {
  ASSERT_TRUE(WaitUntil([&] { return ShowsText(window_, ">???"); }, 3000));
  ExpectLamps(CaptureClient(window_), 0x0000);
}

TEST_F(Lamps, LightCommandsFromLightsend) {
  struct Case {
    const char* line;
    unsigned value;
  } const cases[] = {
      {">5L1234", 0x1234}, {">5L0", 0x0000}, {">3L1234", 0x1234},
      {">5L8001", 0x8001}, {">5LFFFF", 0xFFFF}, {">5L0", 0x0000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    SendAndWait(window_, c.line, c.value);
    // lightsend has left: the status text says so and the lamps stay.
    EXPECT_TRUE(ShowsText(window_, ">xxx"));
    ExpectLamps(CaptureClient(window_), c.value);
  }
}

TEST_F(Lamps, LineShownWhileTheClientStays) {
  PipeClient client;
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Send(">5L1234\n"));
  EXPECT_TRUE(WaitUntil([&] { return ShowsText(window_, ">5L1234"); }, 3000));
  ExpectLamps(CaptureClient(window_), 0x1234);
  ASSERT_TRUE(client.Send(">4L1\n"));  // Not a light command: the text only.
  EXPECT_TRUE(WaitUntil([&] { return ShowsText(window_, ">4L1"); }, 3000));
  ExpectLamps(CaptureClient(window_), 0x1234);
}

// The capture reads what is shown: a known picture of the text, drawn by
// the test itself, is not what an empty text area holds.
TEST(Capture, TellsTextsApart) {
  EXPECT_FALSE(RenderStatusText(">???", kTextWidth, kTextHeight) ==
               RenderStatusText(">xxx", kTextWidth, kTextHeight));
  EXPECT_FALSE(RenderStatusText(">???", kTextWidth, kTextHeight) ==
               RenderStatusText("", kTextWidth, kTextHeight));
}

}  // namespace
