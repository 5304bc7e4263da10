#include "lights/parallel_port.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/lamp_path.h"
#include "app/ui_ops.h"
#include "lights/light_control.h"
#include "res/product.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_ui.h"

namespace {

struct PortCase {
  uint16_t base;
  uint8_t controlRead;  // What the control register reads as.
  uint8_t controlBase;  // Pins 16 and 17 low, other bits as read.
};

class PortProtocol : public testing::TestWithParam<PortCase> {
 protected:
  void SetUp() override {
    fake_port::Reset();
    fake_ui::Reset();
    fake_ui::StampBoxesWith([] { return fake_port::Accesses().size(); });
    PortBase = GetParam().base;
    control = uint16_t(PortBase + 2);
    fake_port::SetReadValue(control, GetParam().controlRead);
  }
  void TearDown() override { PortBase = 0; }
  uint16_t control = 0;
};

TEST_P(PortProtocol, SetUpLowersPins16And17) {
  const PortCase& c = GetParam();
  EXPECT_EQ(PortSetUp(), c.controlBase);
  EXPECT_EQ(fake_port::Accesses(),
            (std::vector<PortAccess>{Read(control, c.controlRead), Write(control, c.controlBase)}));
}

TEST_P(PortProtocol, OneBankIsOneReadAndThreeWritesTwoBanksSixWrites) {
  const PortCase& c = GetParam();
  LatchOneBank(0x5C);
  EXPECT_EQ(fake_port::Accesses(), LampWrites(c.base, c.controlRead, 0x5C));
  fake_port::Reset();
  fake_port::SetReadValue(control, c.controlRead);
  LatchTwoBanks(0x1234);
  EXPECT_EQ(fake_port::Accesses(), LampWrites(c.base, c.controlRead, 0x34, 0x12));
}

TEST_P(PortProtocol, HardwareTestShowsEachPinHighWhileItsBoxIsOpen) {
  const PortCase& c = GetParam();
  const uint8_t cb = c.controlBase;
  RunHardwareTest(cb);

  struct Step {
    const char* text;
    int data, control;  // Register values while the box is open.
  };
  const std::vector<Step> steps = {
      {"start test: pin2..9=low, pin16+17=low", 0x00, -1},
      {"pin16=high", 0x00, cb | 0x04},
      {"pin17=high", 0x00, cb & 0xF7},
      {"set Pin_2: high", 0x01, cb}, {"set Pin_3: high", 0x02, cb},
      {"set Pin_4: high", 0x04, cb}, {"set Pin_5: high", 0x08, cb},
      {"set Pin_6: high", 0x10, cb}, {"set Pin_7: high", 0x20, cb},
      {"set Pin_8: high", 0x40, cb}, {"set Pin_9: high", 0x80, cb},
      {"end of test...", 0x00, cb},
  };

  const std::vector<PortAccess> all = fake_port::Accesses();
  ASSERT_EQ(all.size(), 13u);  // Thirteen writes, no read.
  for (const PortAccess& a : all) EXPECT_EQ(a.kind, PortAccess::kWrite);

  // What the pins carry after the first n accesses: a replay of the writes.
  const auto pins = [&](size_t n) {
    std::pair<int, int> carried(-1, -1);
    for (size_t a = 0; a < n; ++a) {
      if (all[a].address == c.base) carried.first = all[a].value;
      if (all[a].address == control) carried.second = all[a].value;
    }
    return carried;
  };
  const std::vector<RecordedBox>& boxes = fake_ui::Boxes();
  ASSERT_EQ(boxes.size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(steps[i].text);
    EXPECT_EQ(boxes[i].text, steps[i].text);
    EXPECT_EQ(boxes[i].caption, APP_TITLE);
    EXPECT_EQ(boxes[i].style, unsigned(kBoxOk | kBoxIconStop));
    EXPECT_EQ(boxes[i].owner, nullptr);
    EXPECT_EQ(pins(boxes[i].portAccessesBefore), std::make_pair(steps[i].data, steps[i].control));
  }
  EXPECT_EQ(pins(all.size()), std::make_pair(0x00, int(cb)));  // Left low, as set up.
}

INSTANTIATE_TEST_SUITE_P(Registers, PortProtocol, testing::Values(
    PortCase{0x378, 0x00, 0x08},
    PortCase{0x3BC, 0x00, 0x08},
    PortCase{0x278, 0x0C, 0x08},   // Pins 16 and 17 found high: lowered.
    PortCase{0x378, 0x20, 0x28},   // Bit 5 (data direction) kept.
    PortCase{0x378, 0x01, 0x09},   // Bit 0 (strobe) kept.
    PortCase{0xD010, 0xF3, 0xFB},  // Every other bit kept, even the unused ones.
    PortCase{0xFFFE, 0xFF, 0xFB}));  // The control register wraps to 0x0000.

struct StartCase {
  const char* name;
  uint16_t base;
  bool opens;
  bool hardwareTest;
  size_t accesses;  // Port accesses made.
  size_t boxes;     // Boxes shown.
  uint16_t baseAfter;
};

TEST(StartPort, OpensSetsUpTestsOrFallsBackToEmulation) {
  const StartCase cases[] = {
      {"emulation", 0, true, false, 0, 0, 0},
      {"emulation ignores the test switch", 0, true, true, 0, 0, 0},
      {"set-up only", 0x378, true, false, 2, 0, 0x378},
      {"set-up and test", 0x3BC, true, true, 2 + 13, 12, 0x3BC},
      {"no access", 0x378, false, false, 0, 1, 0},
      {"no access, no test either", 0x378, false, true, 0, 1, 0},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    fake_port::Reset();
    fake_ui::Reset();
    fake_port::SetAccessOpens(c.opens);
    PortBase = c.base;

    StartPort(c.hardwareTest);

    EXPECT_EQ(fake_port::Accesses().size(), c.accesses);
    EXPECT_EQ(fake_ui::Boxes().size(), c.boxes);
    EXPECT_EQ(PortBase, c.baseAfter);
    EXPECT_EQ(fake_port::OpenedBases().size(), c.base ? 1u : 0u);
    if (!c.opens && c.base) {
      const RecordedBox& box = fake_ui::Boxes().at(0);
      EXPECT_EQ(box.caption, APP_TITLE);
      EXPECT_EQ(box.style, unsigned(kBoxOk | kBoxIconWarning));
      EXPECT_EQ(box.owner, nullptr);
      EXPECT_NE(box.text.find("378"), std::string::npos) << box.text;
    }
  }
  PortBase = 0;
}

}  // namespace
