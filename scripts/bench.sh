#!/usr/bin/env bash
# Builds the linux, windows and windows-x86 presets and prints the
# benchmark figures: both pipeserver.exe sizes and import counts, the
# light-line and framing micro-benchmarks, the end-to-end latency
# (Linux socket, and the Windows named pipe under Wine), the listener's
# idle CPU and its memory over 100,000 lines, and the machine they ran on.
#   bash scripts/bench.sh            (LATENCY_RUNS=3 runs of 10,000 lines each)
# Needs root for 'unshare --net' (the socket name is global per namespace).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
require_jobs linux windows win32 wine32 test bench
trap 'stop_wine' EXIT
runs=${LATENCY_RUNS:-3}

for preset in linux windows windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

echo "=== machine"
echo "cores: $(nproc); CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "memory: $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo);" \
     "OS: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r); $(wine --version 2>/dev/null || true)"

echo "=== pipeserver.exe: size (goal: at most 64 KB = 65536 bytes) and imports; reference: the smallest program that shows a box, built the same way"
for preset in windows windows-x86; do
  objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "build/$preset/CMakeCache.txt")
  for exe in build/$preset/app/pipeserver.exe build/$preset/bench/size_floor.exe; do
    echo "$preset $(basename "$exe"): $(stat -c %s "$exe") bytes;" \
      "$("$objdump" -p "$exe" | python3 tests/imports/import_counts.py)"
  done
done

echo "=== light and framing micro-benchmarks (Linux)"
build/linux/bench/light_bench --benchmark_min_time=0.2 2>/dev/null

echo "=== end-to-end latency, Linux (abstract Unix socket)"
for _ in $(seq "$runs"); do build/linux/bench/latency_bench 10000; done

echo "=== end-to-end latency, Windows build under Wine (named pipe)"
prepare_wine "$PWD/build/windows/wineprefix"
for _ in $(seq "$runs"); do wine build/windows/bench/latency_bench.exe 10000 | tr -d '\r'; done

echo "=== idle CPU and memory over 100,000 lines, Linux"
python3 tests/soak/clients.py idle --host build/linux/tests/soak/soak_host \
  --client build/linux/tests/soak/soak_client --lines 100000
echo "=== idle CPU and memory over 100,000 lines, Windows build under Wine"
python3 tests/soak/clients.py idle --wine --host build/windows/tests/soak/soak_host.exe \
  --client build/windows/tests/soak/soak_client.exe --lines 100000
