// The parallel port's register protocol: set-up, lamp-bank output through
// external latches strobed by pins 16 and 17, and the pin-by-pin test.
// Every access goes through PortRead8 / PortWrite8 at PortBase and PortBase + 2.
#pragma once
#include <cstdint>

// Pins 16 and 17 low. Returns the control value with both low (ControlBase).
uint8_t PortSetUp();

// b0 on the data pins, strobed into the latch on pin 16.
void OutputOneBank(uint8_t b0);

// b0 strobed by pin 16, then b1 strobed by pin 17.
void OutputTwoBanks(uint8_t b0, uint8_t b1);

// Sets each driven pin high once, with a message box at each step, so that
// the state a box describes is on the pins while it is open.
void RunHardwareTest(uint8_t controlBase);

// Start-up's use of the port, before any window: when PortBase is not 0,
// opens access, sets the port up and, when asked, runs the hardware test.
// Without access it says so in one warning box and sets PortBase to 0, so
// the program runs on in the emulation mode and no command meets a fault.
void StartPortOutput(bool hardwareTest);
