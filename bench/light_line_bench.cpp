// Cost of applying one received line, in the emulation mode and with a port.
#include <benchmark/benchmark.h>

#include "app/lamp_path.h"
#include "lights/light_control.h"

namespace {

const char* const kLines[] = {">5L1234", ">3L8001", ">5LFFFF", ">5L0", ">xxx", ">5Lzz"};

void ApplyLines(benchmark::State& state, uint16_t port) {
  PortBase = port;
  size_t i = 0;
  for (auto _ : state) {
    TakeLightLine(kLines[i]);
    i = (i + 1) % (sizeof kLines / sizeof kLines[0]);
  }
  PortBase = 0;
  state.SetItemsProcessed(state.iterations());
}

void BM_ApplyLightLine_Emulation(benchmark::State& state) { ApplyLines(state, 0); }
void BM_ApplyLightLine_Port(benchmark::State& state) { ApplyLines(state, 0x378); }

void BM_SnapshotDisplayState(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SnapshotDisplayState());
}

}  // namespace

BENCHMARK(BM_ApplyLightLine_Emulation);
BENCHMARK(BM_ApplyLightLine_Port);
BENCHMARK(BM_SnapshotDisplayState);
