// The local olad, through libola's StreamingClient, where the Linux build
// found libola; elsewhere every call says there is none.
#pragma once
#include <cstdint>

bool OlaInThisBuild();
// A client connected to olad, or nullptr (olad not running).
void* OlaConnect();
// false when olad has gone: the caller closes and connects again.
bool OlaSendDmx(void* client, uint32_t universe, const uint8_t levels[512]);
void OlaClose(void* client);
