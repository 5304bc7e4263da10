// What the Windows port back end saw, for its tests.
#pragma once
#include <cstdint>

// The exception code that refused the last probing port instruction
// (0xC0000096, STATUS_PRIVILEGED_INSTRUCTION, on Windows NT), or 0 when the
// last PortAccessOpen made no probe or its probe went through.
uint32_t LastProbeException();

// Makes the probe use the process's last-chance exception filter, as it
// does where vectored handlers are missing (before Windows XP), even where
// they are there.
void ProbeWithLastChanceFilterOnly(bool only);
