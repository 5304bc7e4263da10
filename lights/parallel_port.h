// The parallel port's register protocol: set-up, the lamp banks latched
// into external latches strobed by pins 16 and 17, and the pin-by-pin test.
// Every access goes through PortRead8 / PortWrite8 at PortBase and PortBase + 2.
#pragma once
#include <cstdint>

#include "protocol/light_line.h"

// Pins 16 and 17 low. Returns the control value with both low (ControlBase).
uint8_t PortSetUp();

// The first row (the low byte) on the data pins, strobed into the latch on
// pin 16; the second row is not sent.
void LatchOneBank(LampBits lamps);

// The first row strobed by pin 16, then the second by pin 17.
void LatchTwoBanks(LampBits lamps);

// The hardware test's steps, each high pin once: 0 all low; 1 pin 16; 2 pin
// 17; 3 to 10 pins 2 to 9; 11 all low again. Step n's writes assume steps 0
// to n - 1 went before; the caller shows what the pins carry after each.
constexpr int kHardwareTestSteps = 12;
void SetHardwareTestStep(uint8_t controlBase, int step);
