// A port back end that records every access instead of touching hardware.
#pragma once
#include <cstdint>
#include <vector>

struct PortAccess {
  enum Kind { kRead, kWrite } kind;
  uint16_t address;
  uint8_t value;
  bool operator==(const PortAccess& o) const {
    return kind == o.kind && address == o.address && value == o.value;
  }
};

// Shorthands for expected sequences.
inline PortAccess Read(uint16_t address, uint8_t value) { return {PortAccess::kRead, address, value}; }
inline PortAccess Write(uint16_t address, uint8_t value) { return {PortAccess::kWrite, address, value}; }

// The accesses of one light command, the data register at data and the
// control register (data + 2) reading controlRead: bank0 latched by a pulse
// on pin 16, then, when bank1 is given, bank1 by a pulse on pin 17; both pins
// rest low (control bit 2 clear, bit 3 set), every other control bit as read.
std::vector<PortAccess> LampWrites(uint16_t data, uint8_t controlRead, uint8_t bank0, int bank1 = -1);

namespace fake_port {

// Forgets all accesses; every register reads as 0 again and access opens.
void Reset();

// Whether PortAccessOpen succeeds from now on.
void SetAccessOpens(bool opens);

// The bases that PortAccessOpen was asked for, in order.
const std::vector<uint16_t>& OpenedBases();

// What a read of address returns from now on (the control register's other
// bits, for example).
void SetReadValue(uint16_t address, uint8_t value);

const std::vector<PortAccess>& Accesses();

}  // namespace fake_port
