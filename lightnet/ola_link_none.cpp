#include "lightnet/ola_link.h"

bool OlaInThisBuild() { return false; }
void* OlaConnect() { return nullptr; }
bool OlaSendDmx(void*, uint32_t, const uint8_t*) { return false; }
void OlaClose(void*) {}
