#include <gtest/gtest.h>

#include <string>

#include "app/command_tail.h"
#include "app/lamp_picture.h"
#include "app/main_window.h"
#include "lights/light_control.h"

namespace {

struct TailCase {
  const char* tail;
  uint16_t port;
  bool hardwareTest;
};

TEST(CommandTail, NamesAPortOnlyInItsOneShape) {
  const TailCase cases[] = {
      {"-p 378", 0x378, false}, {"-P 3bc", 0x3BC, true}, {"-p 000", 0, false},
      {"-P 000", 0, false},  // No port, so no test either.
      {"-p 278", 0x278, false}, {"-p D010", 0xD010, false},
      {"-p 78", 0, false},   // Five characters: too short.
      {"-p378", 0, false},   // No blank.
      {"/p 378", 0, false}, {"-x 378", 0, false}, {"--p 378", 0, false}, {"", 0, false},
      {"-p 12345", 0x2345, false},  // Only the low 16 bits count.
      {"-p 378 abc", 0x378, false}, // Reading stops at the blank.
      {"-p  78", 0x78, false},      // Leading blanks before the digits are skipped.
      {"-p 0x378", 0x378, false}, {"-p -01", 0xFFFF, false},
      {"-p -1", 0, false},  // Five characters.
      {"-p xyz", 0, false},  // No number: the emulation mode.
      {"-P 0xzz", 0, false}, {"-P    ", 0, false},
  };
  for (const TailCase& c : cases) {
    SCOPED_TRACE(std::string("tail \"") + c.tail + "\"");
    const CommandTail tail = ReadCommandTail(c.tail);
    EXPECT_EQ(tail.port, c.port);
    EXPECT_EQ(tail.hardwareTest, c.hardwareTest);
  }
  EXPECT_EQ(ReadCommandTail(nullptr).port, 0);
}

// Which of the sixteen circles are lit, as "row:column" for the lit ones.
std::string LitLamps(uint8_t bank0, uint8_t bank1) {
  LampCircle circles[kLampCount];
  ComputeLampCircles(LampBits(bank1 << 8 | bank0), circles);
  std::string lit;
  for (const LampCircle& c : circles)
    if (c.lit) lit += std::to_string(c.top == 20 ? 1 : 2) + ":" + std::to_string(c.left / 32) + " ";
  return lit;
}

TEST(LampPicture, MostSignificantBitAtTheLeft) {
  const struct {
    uint8_t bank0, bank1;
    const char* lit;
  } cases[] = {
      {0x80, 0x01, "1:0 2:7 "},
      {0x00, 0x00, ""},
      {0x34, 0x12, "1:2 1:3 2:3 1:5 2:6 "},  // Drawing order: column by column.
      {0xFF, 0x00, "1:0 1:1 1:2 1:3 1:4 1:5 1:6 1:7 "},
      {0x01, 0x80, "2:0 1:7 "},
  };
  for (const auto& c : cases) EXPECT_EQ(LitLamps(c.bank0, c.bank1), c.lit) << int(c.bank0) << " " << int(c.bank1);
}

TEST(MainWindow, TitleNamesThePortInUpperCaseHex) {
  const std::pair<uint16_t, const char*> cases[] = {
      {0x378, "Pipe Server Vantrelle (p:378)"},
      {0x3BC, "Pipe Server Vantrelle (p:3BC)"},
      {0, "Pipe Server Vantrelle (p:0)"},
      {0xD010, "Pipe Server Vantrelle (p:D010)"},
      {0x78, "Pipe Server Vantrelle (p:78)"},
  };
  for (const auto& [port, title] : cases) {
    FormatMainWindowTitle(port);
    EXPECT_STREQ(CaptionBuffer, title);
  }
}

TEST(MainWindow, PlacedTenPixelsRightOfTheCentre) {
  const struct {
    int screenWidth, screenHeight, x, y;
  } cases[] = {
      {1024, 768, 389, 327},
      {1024, 738, 389, 312},
      {1920, 1050, 837, 468},
      {1025, 769, 389, 328},  // Odd sizes truncate.
      {200, 100, -23, -6},    // Truncation toward zero, not down.
  };
  for (const auto& c : cases) {
    const WindowPlace place = MainWindowPlace(c.screenWidth, c.screenHeight);
    EXPECT_EQ(place.x, c.x) << c.screenWidth;
    EXPECT_EQ(place.y, c.y) << c.screenHeight;
  }
}

}  // namespace
