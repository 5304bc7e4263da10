// The outputs beside the parallel port. Start-up starts them, the listener
// hands each the newest lamp state without waiting, shutdown stops them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "out/output_config.h"

// One sender thread per output, each sending the lamps' state at once (all
// off) and then on every change and as its keep-alive. Start-up only.
void StartOutputs(const OutputConfig* outputs, size_t count);

// The newest lamp bytes for every output; returns at once. Listener thread.
void OutputLamps(uint8_t bank0, uint8_t bank1);

// Each output's last packets (sACN's stream-terminated, WLED handed back),
// waiting a bounded time for them. Shutdown only; a second call does nothing.
void StopOutputs();

// How long an output waits at most between two sends of the same state,
// and the shortest time between two sends (44 frames a second at most).
uint32_t KeepAliveMilliseconds(OutputKind kind);
enum : uint32_t { kFrameMilliseconds = 23 };

// A stable component identifier for this computer: 16 bytes from a hash
// of the host's name, with the version and variant bits of RFC 9562's
// custom UUIDs (version 8).
void HostComponentId(const char* hostName, uint8_t cid[16]);
