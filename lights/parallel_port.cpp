#include "lights/parallel_port.h"

#include "lights/light_control.h"
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

}  // namespace

uint8_t PortSetUp() {
  const uint8_t controlBase = ReadControlBase();
  PortWrite8(ControlRegister(), controlBase);
  return controlBase;
}

// No pause between writes: a strobe lasts from one register write to the next.
void LatchOneBank(LampBits lamps) {
  PortWrite8(DataRegister(), uint8_t(lamps & 0xFF));
  const uint8_t controlBase = ReadControlBase();
  PortWrite8(ControlRegister(), uint8_t(controlBase | kPin16High));
  PortWrite8(ControlRegister(), controlBase);
}

void LatchTwoBanks(LampBits lamps) {
  PortWrite8(DataRegister(), uint8_t(lamps & 0xFF));
  const uint8_t controlBase = ReadControlBase();
  PortWrite8(ControlRegister(), uint8_t(controlBase | kPin16High));
  PortWrite8(ControlRegister(), controlBase);
  PortWrite8(DataRegister(), uint8_t(lamps >> 8));
  PortWrite8(ControlRegister(), uint8_t(controlBase & kPin17High));
  PortWrite8(ControlRegister(), controlBase);
}

void SetHardwareTestStep(uint8_t controlBase, int step) {
  switch (step) {
    case 0: PortWrite8(DataRegister(), 0x00); break;
    case 1: PortWrite8(ControlRegister(), uint8_t(controlBase | kPin16High)); break;
    case 2: PortWrite8(ControlRegister(), uint8_t(controlBase & kPin17High)); break;
    case 11: PortWrite8(DataRegister(), 0x00); break;
    default:  // 3 to 10: data pins 2 to 9 in turn, after pin 17 goes low again.
      if (step < 3 || step > 10) break;
      if (step == 3) PortWrite8(ControlRegister(), controlBase);
      PortWrite8(DataRegister(), uint8_t(1u << (step - 3)));
  }
}
