#include "lightnet/open_dmx.h"

#include <cstdio>

bool OpenDmxInThisBuild() { return false; }

void* OpenDmxOpen(unsigned, char* why, size_t size) {
  if (why != nullptr) std::snprintf(why, size, "Open DMX is not in this build");
  return nullptr;
}

bool OpenDmxSendFrame(void*, const uint8_t*) { return false; }
void OpenDmxClose(void*) {}
