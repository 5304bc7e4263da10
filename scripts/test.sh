#!/usr/bin/env bash
# Builds every preset and runs every test: natively, the Windows builds
# under Wine on a virtual display, the packages, the sanitizers and the
# fuzzers. Ends with the skipped steps and tests, each with its reason, and
# the line "presets: N passed, N failed, N skipped"; exits non-zero when
# anything failed (skips alone do not fail the run: the summary names them).
#   bash scripts/test.sh                 every step
#   bash scripts/test.sh linux windows   only these (linux windows
#                                        windows-x86 packages asan tsan fuzz)
# Two lanes run side by side: the Windows builds and their tests under Wine
# (which mostly wait on Wine, not on the processors) in the background, with
# their output in build/test-wine-lane.log, shown at the end; the native
# builds, their tests and the packages in the foreground. They share nothing
# that a test holds: each lane has its own display, Wine keeps its pipes
# within its prefix's server and the Linux tests run in network namespaces
# of their own.
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
wine_lane=""
end_lanes() {
  if [ -n "$wine_lane" ]; then
    kill -- -"$wine_lane" 2>/dev/null || kill "$wine_lane" 2>/dev/null || true
    wait "$wine_lane" 2>/dev/null || true
  fi
  local prefix
  for prefix in build/windows*/wineprefix build/windows*/wineprefix-table-*; do
    [ -d "$prefix" ] && WINEPREFIX="$PWD/$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  stop_virtual_display
}
trap end_lanes EXIT
trap 'exit 130' INT   # So that an interrupted run ends its lanes too.
trap 'exit 143' TERM
mkdir -p build

# Each step's verdicts go to a file of its own, so that the lanes' steps
# add up to one summary, in the steps' order: "passed", "failed",
# "skipped TEXT" (the step) and "note TEXT" (a test or check it skipped).
results=build/test-results
rm -rf "$results"
mkdir -p "$results"
declare -A order=([linux]=1 [windows]=2 [windows-x86]=3 [packages]=4 [asan]=5 [tsan]=6 [fuzz]=7)
record() { echo "$2${3:+ $3}" >>"$results/${order[$1]}-$1"; }
skip() { record "$1" skipped "$1: $2"; echo "=== $1: skipped: $2"; }
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
    record "$1" note "$1: test $name${why:+: $why}"
  done < <(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$2")
}
build_preset() {
  echo "=== $1: configure and build"
  if ! { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }; then
    echo "=== $1: the build failed"; record "$1" failed; return 1
  fi
}
test_preset() {
  local preset=$1 test=$2 log=build/test-$1.log
  if [ "$test" != yes ]; then skip "$preset" "$test (built and linked, tests not run)"; return 0; fi
  echo "=== $preset: test"
  if ctest --preset "$preset" 2>&1 | tee "$log"; then record "$preset" passed; else record "$preset" failed; fi
  note_skipped_tests "$preset" "$log"
}
run_preset() { build_preset "$1" && test_preset "$1" "$2" || true; }
wants() { printf '%s\n' "${steps[@]}" | grep -qx "$1"; }

# The Wine lane: the two Windows builds and their tests. The x86-64 build's
# tests include the two programs' pictures against each other
# (tests/cross_platform), which capture from the Linux build: they wait for
# it (built by the other lane meanwhile).
linux_built=$results/linux-built
wine_steps() {
  # The i686 build is compiled while the x86-64 build's tests wait on Wine
  # (not beside its build: that one is wanted first); its output is shown
  # when its turn comes.
  local x86_build="" x86_log=build/test-windows-x86-build.log x86=""
  if wants windows-x86 && needs windows-x86 linux win32 test; then x86=yes; fi
  start_x86_build() {
    [ -n "$x86" ] && [ -z "$x86_build" ] || return 0
    ( build_preset windows-x86 ) >"$x86_log" 2>&1 </dev/null &
    x86_build=$!
  }

  if wants windows && needs windows linux windows test; then
    build_preset windows && built=yes || built=""
    start_x86_build
    if [ -n "$built" ]; then
      until [ -e "$linux_built" ]; do sleep 2; done
      prepare_wine "$PWD/build/windows/wineprefix"
      test_preset windows yes
      stop_wine
    fi
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
  start_x86_build
  if [ -n "$x86_build" ]; then
    local built=0
    wait "$x86_build" || built=$?
    cat "$x86_log"
    # A failed build has recorded itself.
    [ "$built" -eq 0 ] || return 0
    p=$(lacking wine32)
    if [ -n "$p" ]; then
      test_preset windows-x86 "$p is not installed: ${PIPESERVER_JOB_LOSS[wine32]}"
    elif runs_32bit_programs; then
      test_preset windows-x86 yes
    else
      test_preset windows-x86 "$why32: the 32-bit Windows tests will not run"
    fi
    stop_wine
  fi
}
if wants windows || wants windows-x86; then
  wine_log=build/test-wine-lane.log
  echo "=== windows, windows-x86: in the background, their output in $wine_log (shown at the end)"
  set -m  # The lane in a process group of its own, so that an interrupted run ends all of it.
  (
    unset DISPLAY  # A display of its own.
    start_virtual_display
    trap 'stop_wine; stop_virtual_display' EXIT
    trap 'exit 143' TERM
    wine_steps
    touch "$results/wine-lane-done"
  ) >"$wine_log" 2>&1 </dev/null &
  wine_lane=$!
  set +m
fi

# The native lane.
if wants linux && needs linux linux test; then
  build_preset linux && { touch "$linux_built"; test_preset linux yes; }
fi
touch "$linux_built"  # Whatever became of it: the Wine lane goes on.

# The release packages, made and then checked as a user gets them; the
# checks it skips are listed with the others.
if wants packages && needs packages linux windows win32 package; then
  echo "=== packages: make and check"
  log=build/test-packages.log
  : >"$log"
  if bash scripts/package.sh && bash tests/package/check_packages.sh 2>&1 | tee "$log"; then
    record packages passed
  else
    record packages failed
  fi
  while IFS= read -r line; do record packages note "packages: check $line"; done < <(sed -n 's/^SKIP //p' "$log")
fi

# The Linux build again under the sanitizers, and the fuzz targets for a
# bounded time each.
for preset in asan tsan fuzz; do
  if wants $preset && needs $preset linux test; then run_preset $preset yes; fi
done

if [ -n "$wine_lane" ]; then
  code=0
  wait "$wine_lane" || code=$?
  wine_lane=""
  cat "$wine_log"
  # A lane that stopped before its end fails the run, whatever it recorded.
  if [ "$code" -ne 0 ] || [ ! -e "$results/wine-lane-done" ]; then
    echo "=== the Wine lane stopped early (exit code $code)"
    record windows failed
  fi
fi

verdicts=$(cat "$results"/[0-9]-* 2>/dev/null || true)
passed=$(grep -c '^passed$' <<<"$verdicts" || true)
failed=$(grep -c '^failed$' <<<"$verdicts" || true)
skipped=$(grep -c '^skipped ' <<<"$verdicts" || true)
if grep -qE '^(skipped|note) ' <<<"$verdicts"; then
  echo "skipped:"
  sed -nE 's/^(skipped|note) /  /p' <<<"$verdicts"
fi
echo "presets: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
