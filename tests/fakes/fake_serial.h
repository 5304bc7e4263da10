// The DMX USB Pro's serial port seam (lightnet/serial_port.h) as a scripted
// widget: what it answers to the parameters request, whether the port opens
// and takes writes, and every byte written to it. Threads and the clock
// stay the system's.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fake_serial {

// One port, of any name, that opens, answers the parameters request
// with a well-formed answer and takes every write.
void Reset();
// The error opening the port returns from now on; 0: it opens.
void SetOpenError(int error);
// What the port sends back after each parameters request from now on.
void SetAnswer(const std::vector<uint8_t>& bytes);
// The error every write returns from now on; 0: writes go.
void SetWriteError(int error);

std::vector<uint8_t> Written();  // Every byte written, in order, over every opening.
size_t Opens();                  // Times the port was asked to open, failed ones too.
size_t OpenPorts();              // Opened and not yet closed.

// A well-formed parameters answer (firmware 1.44, break 9, mark 1, rate 40).
std::vector<uint8_t> GoodAnswer();

}  // namespace fake_serial
