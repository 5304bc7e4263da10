// Byte-wide access to the x86 I/O ports of the parallel port.
// One back end per platform (and a recording one for tests) supplies these;
// which one is linked is chosen by the build, not by #ifdef.
#pragma once
#include <cstdint>

uint8_t PortRead8(uint16_t address);
void PortWrite8(uint16_t address, uint8_t value);
