// Start-up's use of the port, with its boxes, and each received line's way
// to the lamps: the register sequences are light control's
// (lights/parallel_port.h), the texts and boxes the shell's. Three verbs for
// three ways out: the port latches, the network outputs send, the console
// prints.
#pragma once
#include <cstdint>

// Sets each driven pin high once, with a message box at each step, so that
// the state a box describes is on the pins while it is open.
void RunHardwareTest(uint8_t controlBase);

// Before any window: when PortBase is not 0, opens access, sets the port up
// and, when asked, runs the hardware test. Without access it says so in one
// warning box and sets PortBase to 0, so the program runs on in the
// emulation mode and no command meets a fault.
void StartPort(bool hardwareTest);

// One line or listener marker: applied by light control, then a light
// command to the port (when PortBase is not 0) and to the network outputs,
// and a repaint request for every line. Listener thread only.
void TakeLightLine(const char* line);
