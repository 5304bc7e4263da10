#!/usr/bin/env bash
# Builds every preset and runs every test: natively, the Windows builds
# under Wine on a virtual display, the packages, the sanitizers and the
# fuzzers. Ends with the skipped steps and tests, each with its reason, and
# the line "presets: N passed, N failed, N skipped"; exits non-zero when
# anything failed (skips alone do not fail the run: the summary names them).
#   bash scripts/test.sh                 every step
#   bash scripts/test.sh linux windows   only these (linux windows
#                                        windows-x86 packages asan tsan fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(linux windows windows-x86 packages asan tsan fuzz)
for s in "${steps[@]}"; do
  case $s in linux | windows | windows-x86 | packages | asan | tsan | fuzz) ;;
    *) echo "usage: scripts/test.sh [linux] [windows] [windows-x86] [packages] [asan] [tsan] [fuzz]" >&2; exit 2 ;;
  esac
done
install_missing_packages linux windows win32 wine32 test package
start_virtual_display
trap 'stop_wine; stop_virtual_display' EXIT
mkdir -p build

passed=0 failed=0 skipped=0 skips=()
skip() { skipped=$((skipped + 1)); skips+=("$1: $2"); echo "=== $1: skipped: $2"; }
# A job whose packages are not all installed: the first one missing.
lacking() {
  local packages
  mapfile -t packages < <(packages_for "$1")
  missing_packages "${packages[@]}" | head -n 1
}
# needs STEP JOB...: true when the jobs' packages are there, else a skip.
needs() {
  local step=$1 job p
  shift
  for job; do
    p=$(lacking "$job")
    [ -z "$p" ] || { skip "$step" "$p is not installed: ${PIPESERVER_JOB_LOSS[$job]}"; return 1; }
  done
}
# The tests CTest skipped, from its summary, as skips of their own (not
# counted as presets: listed with the preset), each with the reason it
# printed ("skipped: ..."), which CTest keeps in its log.
note_skipped_tests() {
  local name why
  while IFS= read -r name; do
    why=$(awk -v t="Testing: $name" '$0 ~ t "$" { on = 1; next }
      on && /Testing: / { exit } on && /^skipped: / { sub(/^skipped: /, ""); print; exit }' \
      "build/$1/Testing/Temporary/LastTest.log" 2>/dev/null)
    skips+=("$1: test $name${why:+: $why}")
  done < <(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$2")
}
run_preset() {
  local preset=$1 test=$2 log=build/test-$1.log
  echo "=== $preset: configure and build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    echo "=== $preset: the build failed"; failed=$((failed + 1)); return 0
  fi
  if [ "$test" != yes ]; then skip "$preset" "$test (built and linked, tests not run)"; return 0; fi
  echo "=== $preset: test"
  if ctest --preset "$preset" 2>&1 | tee "$log"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  note_skipped_tests "$preset" "$log"
}
wants() { printf '%s\n' "${steps[@]}" | grep -qx "$1"; }

if wants linux && needs linux linux test; then run_preset linux yes; fi

# The Windows build's tests include the two programs' pictures against each
# other (tests/cross_platform), which capture from the Linux build above.
if wants windows && needs windows linux windows test; then
  prepare_wine "$PWD/build/windows/wineprefix"
  run_preset windows yes
  stop_wine
fi

# The i686 build's tests run under 32-bit Wine, in the build's own 32-bit
# prefix; a tiny 32-bit program shows first that it runs there.
runs_32bit_programs() {
  mkdir -p build/windows-x86
  printf 'int main(void) { return 7; }\n' |
    i686-w64-mingw32-gcc-win32 -x c - -o build/windows-x86/runs32.exe ||
    { why32="a 32-bit test program could not be built"; return 1; }
  WINEARCH=win32 prepare_wine "$PWD/build/windows-x86/wineprefix"
  local code=0
  timeout 60 wine build/windows-x86/runs32.exe >/dev/null 2>&1 </dev/null || code=$?
  [ "$code" -eq 7 ] || { why32="a 32-bit program returned $code instead of 7 under 32-bit Wine"; return 1; }
}
if wants windows-x86 && needs windows-x86 linux win32 test; then
  p=$(lacking wine32)
  if [ -n "$p" ]; then
    run_preset windows-x86 "$p is not installed: ${PIPESERVER_JOB_LOSS[wine32]}"
  elif runs_32bit_programs; then
    run_preset windows-x86 yes
  else
    run_preset windows-x86 "$why32: the 32-bit Windows tests will not run"
  fi
  stop_wine
fi

# The release packages, made and then checked as a user gets them; the
# checks it skips are listed with the others.
if wants packages && needs packages linux windows win32 package; then
  echo "=== packages: make and check"
  log=build/test-packages.log
  : >"$log"
  if bash scripts/package.sh && bash tests/package/check_packages.sh 2>&1 | tee "$log"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
  while IFS= read -r line; do skips+=("packages: check $line"); done < <(sed -n 's/^SKIP //p' "$log")
fi

# The Linux build again under the sanitizers, and the fuzz targets for a
# bounded time each.
for preset in asan tsan fuzz; do
  if wants $preset && needs $preset linux test; then run_preset $preset yes; fi
done

if [ ${#skips[@]} -gt 0 ]; then
  echo "skipped:"
  printf '  %s\n' "${skips[@]}"
fi
echo "presets: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
