// The outputs' network, OLA and Open DMX seams (lightnet/net_platform.h,
// lightnet/ola_link.h, lightnet/open_dmx.h)
// recorded instead of sent: every datagram with the socket's target, every
// line said, every lookup. Threads and the clock stay the system's.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lightnet/net_platform.h"

struct Datagram {
  UdpTarget to;
  std::vector<uint8_t> bytes;
};

namespace fake_network {

// Forgets everything; names resolve to nothing, sends succeed.
void Reset();

// What ResolveHostName answers for name from now on; 0: no address.
void SetAddress(const std::string& name, uint32_t address);
// The error every send returns from now on; 0: sends succeed.
void SetSendError(int error);
// From now on, as a host where nothing listens on the port answers: each
// send that goes out makes the next one fail with kRefusal, unsent.
enum { kRefusal = 111 };
void SetRefusing(bool refusing);

std::vector<Datagram> Sent();
std::vector<std::string> Lookups();  // The names asked for, in order.
std::vector<std::string> Lines();    // What PrintConsoleLine was given.
size_t OpenSockets();                // Opened and not yet closed.
size_t OlaFrames();
// Open DMX: whether an interface answers opens and takes frames from now
// on (one that stops answering fails its next frame); the opens tried, the
// frames taken and the levels of the last one.
void SetOpenDmxPresent(bool present);
size_t OpenDmxOpens();
size_t OpenDmxFrames();
std::vector<uint8_t> OpenDmxLevels();

// The pixels a WLED realtime or DDP receiver holds after these datagrams
// (RGB, from pixel 0), and whether every datagram was well formed for it.
std::vector<uint8_t> WledPixels(const std::vector<Datagram>& sent, bool* wellFormed);
std::vector<uint8_t> DdpPixels(const std::vector<Datagram>& sent, bool* wellFormed);

}  // namespace fake_network
