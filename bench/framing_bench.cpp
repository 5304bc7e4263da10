// Cost of one read through the framing, alone and followed by the light
// line it yields (emulation mode and with the quiet fake port).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/lamp_path.h"
#include "lights/light_control.h"
#include "pipe/line_framing.h"

namespace {

// What a client's reads look like: the usual line, noise before it, two
// lines in one read (the second dropped), an over-long line, a read with no
// line feed, and a full 18-byte read of noise.
struct ReadShape {
  const char* name;
  std::string bytes;
};

const ReadShape kShapes[] = {
    {"line", ">5L1234\n"},
    {"noise_then_line", "  \r\n\n>3L8001\n"},
    {"two_lines", ">5L1\n>5L2\n"},
    {"overlong", ">5L123456789\n"},
    {"no_line_feed", ">5L12"},
    {"noise_18", std::string(18, 'x')},
};

void BM_FrameOneRead(benchmark::State& state) {
  const std::string& bytes = kShapes[state.range(0)].bytes;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  char line[kMaxLineLength + 1];
  for (auto _ : state) {
    benchmark::DoNotOptimize(FrameOneRead(data, bytes.size(), line));
    benchmark::ClobberMemory();
  }
  state.SetLabel(kShapes[state.range(0)].name);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

// One read per line, a distinct value each time, as the listener does it.
// The reads are made beforehand: formatting them is no part of the cost.
void FrameAndApply(benchmark::State& state, uint16_t port) {
  static unsigned char reads[4096][18];
  static size_t counts[4096];
  for (unsigned i = 0; i < 4096; ++i)
    counts[i] = size_t(std::snprintf(reinterpret_cast<char*>(reads[i]), sizeof reads[i], ">5L%04X\n", i * 16u));
  PortBase = port;
  char line[kMaxLineLength + 1];
  unsigned i = 0;
  for (auto _ : state) {
    if (FrameOneRead(reads[i], counts[i], line)) TakeLightLine(line);
    i = (i + 1) % 4096;
  }
  PortBase = 0;
  state.SetItemsProcessed(state.iterations());
}

void BM_FrameAndApply_Emulation(benchmark::State& state) { FrameAndApply(state, 0); }
void BM_FrameAndApply_Port(benchmark::State& state) { FrameAndApply(state, 0x378); }

}  // namespace

BENCHMARK(BM_FrameOneRead)->DenseRange(0, int(sizeof kShapes / sizeof kShapes[0]) - 1);
BENCHMARK(BM_FrameAndApply_Emulation);
BENCHMARK(BM_FrameAndApply_Port);
