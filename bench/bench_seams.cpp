#include <cstdio>

#include "app/ui_ops.h"
#include "port/port_io.h"

// volatile so that the accesses are not optimised away.
volatile uint8_t benchPortSink;

bool PortAccessOpen(uint16_t) { return true; }
void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) { std::snprintf(text, size, "%X", base); }
uint8_t PortRead8(uint16_t address) { return uint8_t(address); }
void PortWrite8(uint16_t, uint8_t value) { benchPortSink = value; }

void RequestRepaint() {}
void ShowMessageBox(void*, const char*, const char*, unsigned) {}
