// The outputs beside the parallel port. Start-up starts them, the listener
// hands each the newest lamp state without waiting, shutdown stops them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "lightnet/output_config.h"
#include "protocol/light_line.h"

// One sender thread per output, each sending the lamps' state at once (all
// off) and then on every change and as its keep-alive. Start-up only.
void StartOutputs(const OutputConfig* outputs, size_t count);

// The newest lamps for every output; returns at once. Listener thread.
void SendLamps(LampBits lamps);

// Each output's last packets (sACN's stream-terminated, WLED handed back),
// waiting a bounded time for them. Shutdown only; a second call (a session
// that ends while the window closes) does nothing.
void StopOutputs();

// What one output does, for people: its kind, destination and mapping
// ("sACN to 239.255.0.2 (multicast), universe 2: lamps 0-15 on channels
// 101-132, 2 each, levels 200/10").
void DescribeOutput(const OutputConfig& config, char* text, size_t size);

// The running outputs as the "Outputs..." item shows them: a paragraph
// each, with the frames sent and the current fault. "" when none runs.
size_t OutputCount();
void DescribeRunningOutputs(char* text, size_t size);

// How long an output waits at most between two sends of the same state,
// and the shortest time between two sends (44 frames a second at most), in
// seconds as the platform's clock counts them.
double KeepAliveSeconds(OutputKind kind);
constexpr double kFrameSeconds = 0.023;

// A stable component identifier for this computer: 16 bytes from a hash
// of the host's name, with the version and variant bits of RFC 9562's
// custom UUIDs (version 8).
void HostComponentId(const char* hostName, uint8_t cid[16]);
