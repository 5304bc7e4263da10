#include "lights/light_control.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/recording_port.h"
#include "tests/fakes/recording_ui.h"

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
  const char* line;
  const char* status;
  uint8_t bank0, bank1;          // Lamp bytes afterwards.
  std::vector<PortAccess> port;  // Accesses with a port at 0x378.
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

// With a port, the accesses the line needs; in the emulation mode none.
TEST_P(LightLine, SetsStatusLampsAndPort) {
  const LineCase& c = GetParam();
  for (const uint16_t base : {kData, uint16_t(0)}) {
    SCOPED_TRACE(base ? "port at 0x378" : "emulation mode");
    SetUp();
    PortBase = base;
    ApplyLightLine(c.line);

    const DisplayStateRecord state = SnapshotDisplayState();
    EXPECT_STREQ(state.StatusText, c.status);
    EXPECT_EQ(state.LampBank0, c.bank0);
    EXPECT_EQ(state.LampBank1, c.bank1);
    EXPECT_EQ(fake_port::Accesses(), base ? c.port : kNoAccess);
    EXPECT_EQ(fake_ui::RepaintRequests(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, LightLine, testing::Values(
    LineCase{">5L1234", ">5L1234", 0x34, 0x12, TwoBanks(0x34, 0x12)},
    LineCase{">3L1234", ">3L1234", 0x34, 0x12, OneBank(0x34)},
    LineCase{">5L0", ">5L0", 0x00, 0x00, TwoBanks(0x00, 0x00)},
    LineCase{">5LFFFF", ">5LFFFF", 0xFF, 0xFF, TwoBanks(0xFF, 0xFF)},
    LineCase{">5Lffff", ">5Lffff", 0xFF, 0xFF, TwoBanks(0xFF, 0xFF)},
    LineCase{">5L-1", ">5L-1", 0xFF, 0xFF, TwoBanks(0xFF, 0xFF)},
    LineCase{">5L12345", ">5L12345", 0x45, 0x23, TwoBanks(0x45, 0x23)},
    LineCase{">5L0x12", ">5L0x12", 0x12, 0x00, TwoBanks(0x12, 0x00)},
    LineCase{">5L 12", ">5L 12", 0x12, 0x00, TwoBanks(0x12, 0x00)},
    LineCase{">5L12zz", ">5L12zz", 0x12, 0x00, TwoBanks(0x12, 0x00)},
    LineCase{">5L12\r", ">5L12\r", 0x12, 0x00, TwoBanks(0x12, 0x00)},
    LineCase{">3L8001", ">3L8001", 0x01, 0x80, OneBank(0x01)},
    LineCase{">5L8001", ">5L8001", 0x01, 0x80, TwoBanks(0x01, 0x80)}));

INSTANTIATE_TEST_SUITE_P(NotCommands, LightLine, testing::Values(
    LineCase{">4L12", ">4L12", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">5l12", ">5l12", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">35L12", ">35L12", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">L512", ">L512", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">???", ">???", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">xxx", ">xxx", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">", ">", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">5", ">5", kLampsBefore0, kLampsBefore1, kNoAccess}));

// A command whose value field holds no number is only shown.
INSTANTIATE_TEST_SUITE_P(NoNumber, LightLine, testing::Values(
    LineCase{">5L", ">5L", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">5Lzz", ">5Lzz", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">5L0x", ">5L0x", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">3L-", ">3L-", kLampsBefore0, kLampsBefore1, kNoAccess},
    LineCase{">3L 0xg", ">3L 0xg", kLampsBefore0, kLampsBefore1, kNoAccess}));

TEST(LightLineSafety, OverlongLineIsCutToEightCharacters) {
  fake_port::Reset();
  PortBase = 0;
  ApplyLightLine(">5L123456789");
  const DisplayStateRecord state = SnapshotDisplayState();
  EXPECT_STREQ(state.StatusText, ">5L12345");
  EXPECT_EQ(state.LampBank0, 0x45);
  EXPECT_EQ(state.LampBank1, 0x23);
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
  EXPECT_EQ(state.LampBank0, 0);
  EXPECT_EQ(state.LampBank1, 0);

  ApplyLightLine(">5LFFFF");
  ClearDisplayState();
  state = SnapshotDisplayState();
  EXPECT_STREQ(state.StatusText, "");
  EXPECT_EQ(state.LampBank0, 0);
  EXPECT_EQ(state.LampBank1, 0);
}

}  // namespace
