#include "lights/light_control.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/lamp_path.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_ui.h"

namespace {

constexpr uint16_t kData = 0x378;
constexpr uint8_t kLampsBefore0 = 0xA5;  // Lamps lit by an earlier command.
constexpr uint8_t kLampsBefore1 = 0x5A;

// The port sequences a line may produce with the port at 0x378 and the
// control register reading 0.
std::vector<PortAccess> OneBank(uint8_t b0) { return LampWrites(kData, 0, b0); }
std::vector<PortAccess> TwoBanks(uint8_t b0, uint8_t b1) { return LampWrites(kData, 0, b0, b1); }
const std::vector<PortAccess> kNoAccess;

struct LineCase {
  const char* line;              // Shown as it came, whatever it is.
  uint8_t bank0, bank1;          // Lamp bytes afterwards.
  std::vector<PortAccess> port;  // Accesses with a port at 0x378.
  int banks;                     // What light control returns: 0 for no command.
};

class LightLine : public testing::TestWithParam<LineCase> {
 protected:
  void SetUp() override {
    // Lamps lit by an earlier command, in the emulation mode: DisplayState
    // is reached only through light control's functions.
    ClearDisplayState();
    PortBase = 0;
    char earlier[16];
    std::snprintf(earlier, sizeof earlier, ">5L%02X%02X", kLampsBefore1, kLampsBefore0);
    ApplyLightLine(earlier);
    fake_port::Reset();
    fake_ui::Reset();
  }
  void TearDown() override { PortBase = 0; }
};

// The line's way as the listener's sink takes it: with a port, the
// accesses the line needs; in the emulation mode none; a repaint request.
TEST_P(LightLine, SetsStatusLampsAndPort) {
  const LineCase& c = GetParam();
  for (const uint16_t base : {kData, uint16_t(0)}) {
    SCOPED_TRACE(base ? "port at 0x378" : "emulation mode");
    SetUp();
    PortBase = base;
    TakeLightLine(c.line);

    const DisplayStateRecord state = SnapshotDisplayState();
    EXPECT_STREQ(state.StatusText, c.line);
    EXPECT_EQ(state.Lamps, LampBits(c.bank1 << 8 | c.bank0));
    EXPECT_EQ(fake_port::Accesses(), base ? c.port : kNoAccess);
    EXPECT_EQ(fake_ui::RepaintRequests(), 1);
  }
}

// Light control alone changes DisplayState and returns the command; the
// port and the window are its caller's.
TEST_P(LightLine, LightControlReturnsTheCommandAndTouchesNothingElse) {
  const LineCase& c = GetParam();
  PortBase = kData;
  const LightCommand command = ApplyLightLine(c.line);
  EXPECT_EQ(command.banks, c.banks);
  if (c.banks != 0) {
    EXPECT_EQ(command.value, LampBits(c.bank1 << 8 | c.bank0));
  }
  const DisplayStateRecord state = SnapshotDisplayState();
  EXPECT_STREQ(state.StatusText, c.line);
  EXPECT_EQ(state.Lamps, LampBits(c.bank1 << 8 | c.bank0));
  EXPECT_EQ(fake_port::Accesses(), kNoAccess);
  EXPECT_EQ(fake_ui::RepaintRequests(), 0);
}

// A light command for one bank or for two, and a line that leaves the
// lamps as the earlier command lit them.
LineCase One(const char* line, uint8_t b0, uint8_t b1) { return {line, b0, b1, OneBank(b0), 1}; }
LineCase Two(const char* line, uint8_t b0, uint8_t b1) { return {line, b0, b1, TwoBanks(b0, b1), 2}; }
LineCase Unchanged(const char* line) { return {line, kLampsBefore0, kLampsBefore1, kNoAccess, 0}; }

INSTANTIATE_TEST_SUITE_P(Commands, LightLine, testing::Values(
    Two(">5L1234", 0x34, 0x12), One(">3L1234", 0x34, 0x12), Two(">5L0", 0x00, 0x00),
    Two(">5LFFFF", 0xFF, 0xFF), Two(">5Lffff", 0xFF, 0xFF), Two(">5L-1", 0xFF, 0xFF),
    Two(">5L12345", 0x45, 0x23), Two(">5L0x12", 0x12, 0x00), Two(">5L 12", 0x12, 0x00),
    Two(">5L12zz", 0x12, 0x00), Two(">5L12\r", 0x12, 0x00), One(">3L8001", 0x01, 0x80),
    Two(">5L8001", 0x01, 0x80)));

INSTANTIATE_TEST_SUITE_P(NotCommands, LightLine, testing::Values(
    Unchanged(">4L12"), Unchanged(">5l12"), Unchanged(">35L12"), Unchanged(">L512"),
    Unchanged(">???"), Unchanged(">xxx"), Unchanged(">"), Unchanged(">5")));

// A command whose value field holds no number is only shown.
INSTANTIATE_TEST_SUITE_P(NoNumber, LightLine, testing::Values(
    Unchanged(">5L"), Unchanged(">5Lzz"), Unchanged(">5L0x"), Unchanged(">3L-"),
    Unchanged(">3L 0xg")));

TEST(LightLineSafety, OverlongLineIsCutToEightCharacters) {
  fake_port::Reset();
  PortBase = 0;
  ApplyLightLine(">5L123456789");
  const DisplayStateRecord state = SnapshotDisplayState();
  EXPECT_STREQ(state.StatusText, ">5L12345");
  EXPECT_EQ(state.Lamps, 0x2345);
}

TEST(LightLineSafety, ShorterLineLeavesNothingOfTheLongerOneBefore) {
  PortBase = 0;
  ApplyLightLine(">5L12345");
  ApplyLightLine(">");
  const DisplayStateRecord state = SnapshotDisplayState();
  EXPECT_EQ(std::string(state.StatusText, sizeof state.StatusText), std::string(">\0\0\0\0\0\0\0\0", 9));
}

TEST(DisplayStateClearing, ListenerStartKeepsTheText) {
  ApplyLightLine(">5LFFFF");
  ClearLampBanks();
  DisplayStateRecord state = SnapshotDisplayState();
  EXPECT_STREQ(state.StatusText, ">5LFFFF");
  EXPECT_EQ(state.Lamps, 0);

  ApplyLightLine(">5LFFFF");
  ClearDisplayState();
  state = SnapshotDisplayState();
  EXPECT_STREQ(state.StatusText, "");
  EXPECT_EQ(state.Lamps, 0);
}

}  // namespace
