#include "tests/fakes/recording_port.h"

#include <cstdio>
#include <map>

#include "port/port_io.h"

namespace {
std::vector<PortAccess> accesses;
std::map<uint16_t, uint8_t> readValues;
bool accessOpens = true;
std::vector<uint16_t> opened;
}  // namespace

bool PortAccessOpen(uint16_t base) {
  opened.push_back(base);
  return accessOpens;
}

void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) {
  std::snprintf(text, size, "No access to the port %X.", base);
}

uint8_t PortRead8(uint16_t address) {
  auto found = readValues.find(address);
  const uint8_t value = (found == readValues.end()) ? 0 : found->second;
  accesses.push_back(Read(address, value));
  return value;
}

void PortWrite8(uint16_t address, uint8_t value) { accesses.push_back(Write(address, value)); }

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

void Reset() {
  accesses.clear();
  readValues.clear();
  accessOpens = true;
  opened.clear();
}

void SetAccessOpens(bool opens) { accessOpens = opens; }

const std::vector<uint16_t>& OpenedBases() { return opened; }

void SetReadValue(uint16_t address, uint8_t value) { readValues[address] = value; }

const std::vector<PortAccess>& Accesses() { return accesses; }

}  // namespace fake_port
