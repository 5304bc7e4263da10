#include "lights/parallel_port.h"

#include <cstdio>

#include "app/caption.h"
#include "lights/light_control.h"
#include "lights/ui_ops.h"
#include "port/port_io.h"

namespace {

// Control register bits: bit 2 drives pin 16 at its level, bit 3 drives
// pin 17 inverted. Every other bit is written back as it was read.
constexpr uint8_t kPin16High = 0x04;  // OR into ControlBase.
constexpr uint8_t kPin17High = 0xF7;  // AND into ControlBase.

uint16_t DataRegister() { return PortBase; }
uint16_t ControlRegister() { return uint16_t(PortBase + 2); }

// The control value with pins 16 and 17 both low.
uint8_t ReadControlBase() {
  return uint8_t((PortRead8(ControlRegister()) & 0xFB) | 0x08);
}

void TestStep(const char* text) {
  ShowMessageBox(nullptr, text, APP_TITLE, kBoxOk | kBoxIconStop);
}

}  // namespace

uint8_t PortSetUp() {
  const uint8_t controlBase = ReadControlBase();
  PortWrite8(ControlRegister(), controlBase);
  return controlBase;
}

// No pause between writes: a strobe lasts from one register write to the next.
void OutputOneBank(uint8_t b0) {
  PortWrite8(DataRegister(), b0);
  const uint8_t controlBase = ReadControlBase();
  PortWrite8(ControlRegister(), uint8_t(controlBase | kPin16High));
  PortWrite8(ControlRegister(), controlBase);
}

void OutputTwoBanks(uint8_t b0, uint8_t b1) {
  PortWrite8(DataRegister(), b0);
  const uint8_t controlBase = ReadControlBase();
  PortWrite8(ControlRegister(), uint8_t(controlBase | kPin16High));
  PortWrite8(ControlRegister(), controlBase);
  PortWrite8(DataRegister(), b1);
  PortWrite8(ControlRegister(), uint8_t(controlBase & kPin17High));
  PortWrite8(ControlRegister(), controlBase);
}

void RunHardwareTest(uint8_t controlBase) {
  PortWrite8(DataRegister(), 0x00);
  TestStep("start test: pin2..9=low, pin16+17=low");
  PortWrite8(ControlRegister(), uint8_t(controlBase | kPin16High));
  TestStep("pin16=high");
  PortWrite8(ControlRegister(), uint8_t(controlBase & kPin17High));
  TestStep("pin17=high");
  PortWrite8(ControlRegister(), controlBase);

  for (unsigned pin = 2; pin <= 9; ++pin) {
    char text[200];
    std::snprintf(text, sizeof text, "set Pin_%x: high", pin);
    PortWrite8(DataRegister(), uint8_t(1u << (pin - 2)));
    TestStep(text);
  }

  PortWrite8(DataRegister(), 0x00);
  TestStep("end of test...");
}

void StartPortOutput(bool hardwareTest) {
  if (PortBase == 0) return;
  if (!PortAccessOpen(PortBase)) {
    char text[512];
    FormatNoPortAccessMessage(PortBase, text, sizeof text);
    ShowMessageBox(nullptr, text, APP_TITLE, kBoxOk | kBoxIconWarning);
    PortBase = 0;
    return;
  }
  const uint8_t controlBase = PortSetUp();
  if (hardwareTest) RunHardwareTest(controlBase);
}
