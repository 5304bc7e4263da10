// This computer's own addresses as the option reader's tests see them,
// without asking the network: loopback and 10.77.0.1, the address the
// end-to-end tests give their side of the veth.
#pragma once
#include <cstdint>

inline bool FakeIsLocalAddress(uint32_t hostOrderIPv4) {
  return hostOrderIPv4 == 0x7F000001u || hostOrderIPv4 == 0x0A4D0001u;
}
