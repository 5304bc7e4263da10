// Byte-wide access to the x86 I/O ports of the parallel port.
// One back end per platform (and a recording one for tests) supplies these;
// which one is linked is chosen by the build, not by #ifdef.
#pragma once
#include <cstddef>
#include <cstdint>

// Prepares access to the registers at base and base + 2, once, at start-up.
// Returns false when this process cannot reach them; PortRead8 and
// PortWrite8 are then never called.
bool PortAccessOpen(uint16_t base);

// When PortAccessOpen failed: one message, naming base, that tells the user
// what to do (zero-terminated, at most size - 1 characters).
void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size);

uint8_t PortRead8(uint16_t address);
void PortWrite8(uint16_t address, uint8_t value);
