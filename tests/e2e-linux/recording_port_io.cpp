// A port back end for the end-to-end tests: it never touches hardware,
// grants access (unless PIPESERVER_PORT_DENY is set) and appends every
// access, one a line, to the file named by PIPESERVER_PORT_LOG (standard
// error when unset):
//   open 378 / read 37a 00 / write 378 34
// Reads return PIPESERVER_PORT_READ (hexadecimal, default 00), so a test
// can give the control register bits that must be written back.
#include <cstdio>
#include <cstdlib>

#include "port/port_io.h"

namespace {

std::FILE* Log() {
  static std::FILE* log = [] {
    const char* path = std::getenv("PIPESERVER_PORT_LOG");
    std::FILE* file = path ? std::fopen(path, "a") : nullptr;
    return file ? file : stderr;
  }();
  return log;
}

// Flushed at once: a test reads the file while a box is open.
void Record(const char* format, unsigned a, unsigned b = 0) {
  std::fprintf(Log(), format, a, b);
  std::fflush(Log());
}

}  // namespace

bool PortAccessOpen(uint16_t base) {
  Record("open %x\n", base);
  return std::getenv("PIPESERVER_PORT_DENY") == nullptr;
}

void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) {
  std::snprintf(text, size, "No access to the port %X (recording back end).", unsigned(base));
}

uint8_t PortRead8(uint16_t address) {
  const char* value = std::getenv("PIPESERVER_PORT_READ");
  const uint8_t result = uint8_t(value ? std::strtoul(value, nullptr, 16) : 0);
  Record("read %x %02x\n", address, result);
  return result;
}

void PortWrite8(uint16_t address, uint8_t value) { Record("write %x %02x\n", address, value); }
