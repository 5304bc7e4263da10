#include "tests/fakes/fake_port.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "lights/light_control.h"
#include "port/port_io.h"

#ifndef FAKE_PORT_MODE
#define FAKE_PORT_MODE kRecord
#endif

namespace {

fake_port::Mode mode = fake_port::FAKE_PORT_MODE;
void (*watcher)(const PortAccess&) = nullptr;
std::vector<PortAccess> accesses;
std::vector<uint16_t> opened;
std::map<uint16_t, uint8_t> readValues;
bool accessOpens = true;
uint8_t data = 0, control = 0, latch[2] = {0, 0};

bool Pin16(uint8_t c) { return (c & 0x04) != 0; }
bool Pin17(uint8_t c) { return (c & 0x08) == 0; }

std::FILE* LogFile() {
  static std::FILE* log = [] {
    const char* path = std::getenv("PIPESERVER_PORT_LOG");
    std::FILE* file = path ? std::fopen(path, "a") : nullptr;
    return file ? file : stderr;
  }();
  return log;
}

// Flushed at once: a test reads the file while a box is open.
void Note(const PortAccess& a) {
  if (watcher) watcher(a);
  if (mode == fake_port::kRecord && a.kind != PortAccess::kOpen) accesses.push_back(a);
  if (mode != fake_port::kLog) return;
  static const char* const kFormats[] = {"open %x\n", "read %x %02x\n", "write %x %02x\n"};
  std::fprintf(LogFile(), kFormats[a.kind], unsigned(a.address), unsigned(a.value));
  std::fflush(LogFile());
}

}  // namespace

bool PortAccessOpen(uint16_t base) {
  if (mode == fake_port::kRecord) opened.push_back(base);
  Note({PortAccess::kOpen, base, 0});
  return accessOpens && !(mode == fake_port::kLog && std::getenv("PIPESERVER_PORT_DENY"));
}

void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) {
  std::snprintf(text, size, "No access to the port %X (fake back end).", unsigned(base));
}

uint8_t PortRead8(uint16_t address) {
  uint8_t value = 0;
  auto found = readValues.find(address);
  if (found != readValues.end()) {
    value = found->second;
  } else if (mode == fake_port::kLog) {
    const char* read = std::getenv("PIPESERVER_PORT_READ");
    value = uint8_t(read ? std::strtoul(read, nullptr, 16) : 0);
  }
  Note(Read(address, value));
  return value;
}

void PortWrite8(uint16_t address, uint8_t value) {
  if (address == PortBase) {
    data = value;
  } else if (address == uint16_t(PortBase + 2)) {
    if (!Pin16(control) && Pin16(value)) latch[0] = data;
    if (!Pin17(control) && Pin17(value)) latch[1] = data;
    control = value;
  }
  Note(Write(address, value));
}

std::vector<PortAccess> LampWrites(uint16_t data, uint8_t controlRead, uint8_t bank0, int bank1) {
  const uint16_t control = uint16_t(data + 2);
  const uint8_t rest = uint8_t((controlRead & 0xFB) | 0x08);
  std::vector<PortAccess> writes = {Write(data, bank0), Read(control, controlRead),
                                    Write(control, rest | 0x04), Write(control, rest)};
  if (bank1 < 0) return writes;
  writes.insert(writes.end(), {Write(data, uint8_t(bank1)), Write(control, rest & 0xF7), Write(control, rest)});
  return writes;
}

namespace fake_port {

void Use(Mode m) { mode = m; }

void Reset() {
  accesses.clear();
  opened.clear();
  readValues.clear();
  accessOpens = true;
  data = control = latch[0] = latch[1] = 0;
}

void SetAccessOpens(bool opens) { accessOpens = opens; }

const std::vector<uint16_t>& OpenedBases() { return opened; }

void SetReadValue(uint16_t address, uint8_t value) { readValues[address] = value; }

const std::vector<PortAccess>& Accesses() { return accesses; }

void LatchedBytes(uint8_t* bank0, uint8_t* bank1) {
  *bank0 = latch[0];
  *bank1 = latch[1];
}

void Watch(void (*w)(const PortAccess&)) { watcher = w; }

}  // namespace fake_port
