// What the real window shows: the status text and the sixteen lamps after
// lines sent through the pipe, read back from the screen.
#include <gtest/gtest.h>

#include "tests/support/win_driver.h"

namespace {

// The picture shows the lamps of value (the check is the driver's, shared
// with the flood tests).
void ExpectLamps(const Pixels& shown, unsigned value) { EXPECT_EQ(LampsDiffer(shown, value), ""); }

// Sends one line with lightsend and waits, within a bound, for all sixteen
// lamps to show it and the text to say that lightsend has left (the checks
// after it say what differs when the bound passes).
void SendAndWait(HWND window, const char* line, unsigned value) {
  ASSERT_EQ(RunLightsend({line}), 0) << line;
  WaitUntil([&] { return ShowsLamps(window, value) && ShowsText(window, ">xxx"); }, 3000);
}

class Lamps : public ServerTest {
 protected:
  void TearDown() override { CloseAndExpectExit(); }
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
