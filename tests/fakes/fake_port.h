// The one fake of the port back end (port/port_io.h), for every test and
// benchmark. In every mode it keeps the latches behind the port at PortBase
// (pin 16's takes the data byte as pin 16 rises, pin 17's as pin 17 rises;
// control bit 3 is inverted). The mode says what else is kept:
//   kRecord  every access in memory, for the checks below (the default)
//   kLog     a line per access ("open 378", "read 37a 00", "write 378 34"),
//            flushed, to the file PIPESERVER_PORT_LOG names (else stderr);
//            reads give PIPESERVER_PORT_READ (hex), PIPESERVER_PORT_DENY
//            refuses access
//   kQuiet   nothing: long runs and benchmarks, whose memory must not grow
// A program without a main of its own starts in the mode FAKE_PORT_MODE names.
#pragma once
#include <cstdint>
#include <vector>

struct PortAccess {
  enum Kind { kOpen, kRead, kWrite } kind;
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

enum Mode { kRecord, kLog, kQuiet };
void Use(Mode mode);

// Forgets accesses and latches; reads give 0, access opens. Mode and watcher stay.
void Reset();

// Whether PortAccessOpen succeeds from now on.
void SetAccessOpens(bool opens);

// The bases that PortAccessOpen was asked for, in order (kRecord).
const std::vector<uint16_t>& OpenedBases();

// What a read of address returns from now on.
void SetReadValue(uint16_t address, uint8_t value);

// Every read and write, in order (kRecord).
const std::vector<PortAccess>& Accesses();

// What the latches on pins 16 and 17 hold now.
void LatchedBytes(uint8_t* bank0, uint8_t* bank1);

// Called with every access (opens too), in every mode, on the thread that
// made it; nullptr for none.
void Watch(void (*watcher)(const PortAccess& access));

}  // namespace fake_port
