#!/usr/bin/env bash
# Builds every preset and runs every test: natively, and the Windows build
# under Wine on a virtual display. Ends with a line "N passed, N failed"
# (presets whose tests passed or failed) and exits non-zero when anything
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

install_missing_packages
start_virtual_display
trap 'stop_wine; stop_virtual_display' EXIT

failed=0
passed=0
run_preset() {
  local preset=$1 test=$2
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  [ "$test" = yes ] || { echo "=== $preset: built and linked (no tests: cannot run here)"; return 0; }
  echo "=== $preset: test"
  if ctest --preset "$preset"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

run_preset linux yes

# The Windows build's tests include the two programs' pictures against each
# other (tests/cross_platform), which capture from the Linux build above.
prepare_wine "$PWD/build/windows/wineprefix"
run_preset windows yes
stop_wine

# The i686 build's tests need a machine that runs 32-bit programs (a kernel
# with 32-bit support, and wine32): a tiny one, in the build's own 32-bit
# prefix, tells.
runs_32bit_programs() {
  mkdir -p build/windows-x86
  printf 'int main(void) { return 7; }\n' |
    i686-w64-mingw32-gcc-win32 -x c - -o build/windows-x86/runs32.exe 2>/dev/null || return 1
  WINEARCH=win32 prepare_wine "$PWD/build/windows-x86/wineprefix"
  local code=0
  timeout 60 wine build/windows-x86/runs32.exe >/dev/null 2>&1 </dev/null || code=$?
  [ "$code" -eq 7 ]
}
if runs_32bit_programs; then
  run_preset windows-x86 yes
else
  echo "=== windows-x86: this machine cannot run 32-bit programs (a tiny one failed under wine), so its tests do not run"
  run_preset windows-x86 no
fi
stop_wine

# The release packages, made and then checked as a user gets them.
echo "=== packages: make and check"
if bash scripts/package.sh && bash tests/package/check_packages.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

# The Linux build again under the sanitizers, and the fuzz targets for a
# bounded time each.
run_preset asan yes
run_preset tsan yes
run_preset fuzz yes

echo "presets: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
