#!/usr/bin/env bash
# Builds the program. (It only builds for now: the window and the pipe
# come with the front ends.)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_missing_packages
for preset in linux windows windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
echo "Built: build/linux, build/windows, build/windows-x86 (the light-control core and its tests)."
