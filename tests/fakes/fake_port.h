// The one stand-in of the port back end (port/port_io.h), for every test
// and benchmark: it never touches hardware. Whatever the mode, it keeps the
// data and control registers as written and the two latches behind them
// (pin 16 takes the data byte on its rising edge, pin 17 on its own; control
// bit 3 is inverted), so what the lamps would show is always checkable.
// The mode says what else is kept of each access:
//   kRecord  every access in memory, for the checks below (the default)
//   kLog     one line per access, flushed at once, to the file that
//            PIPESERVER_PORT_LOG names (standard error when unset):
//              open 378 / read 37a 00 / write 378 34
//            reads return PIPESERVER_PORT_READ (hexadecimal, default 00);
//            access is refused when PIPESERVER_PORT_DENY is set
//   kQuiet   nothing: long runs and benchmarks, whose memory must not grow
// A program without a main of its own (the product's front end with this
// port) starts in a mode given by defining FAKE_PORT_MODE (kLog, say).
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

// Forgets all accesses, registers and latches; every register reads as 0
// again and access opens. The mode and the watcher stay.
void Reset();

// Whether PortAccessOpen succeeds from now on.
void SetAccessOpens(bool opens);

// The bases that PortAccessOpen was asked for, in order (kRecord).
const std::vector<uint16_t>& OpenedBases();

// What a read of address returns from now on (the control register's other
// bits, for example).
void SetReadValue(uint16_t address, uint8_t value);

// Every read and write, in order (kRecord).
const std::vector<PortAccess>& Accesses();

// What the latches on pins 16 and 17 hold now.
void LatchedBytes(uint8_t* bank0, uint8_t* bank1);

// Called with every access (opens too), in every mode, on the thread that
// made it; nullptr for none. For a host that must see accesses as they come
// (a fault in the emulation mode, a benchmark's arrival stamp).
void Watch(void (*watcher)(const PortAccess& access));

}  // namespace fake_port
