#!/usr/bin/env bash
# scripts/deps.sh's install_missing_packages against a stand-in apt-get,
# dpkg-query and dpkg (tests/support/fake_apt): a bare machine, a complete
# one, a package apt does not know, one it refuses, one whose download
# fails, an index that cannot be read, and one job's packages alone.
top=$(cd "$(dirname "$0")/../.." && pwd)
SHARED_NET=1 source "$top/tests/support/lib.sh"  # No socket: no namespace.
source "$top/scripts/deps.sh"  # For packages_for: the list under test.
mapfile -t every < <(packages_for linux windows win32 wine32 test package bench)
mapfile -t linux_only < <(packages_for linux)

# install CASE JOBS...: a fresh state from the case's files, then the
# function as the scripts call it (errexit and pipefail on). Leaves the
# output in $out, the exit code in $code.
install() {
  export FAKE_APT="$WORK/$1"
  shift
  out=$(PATH="$top/tests/support/fake_apt:$PATH" bash -euo pipefail -c \
    'source "$1/scripts/deps.sh"; shift; install_missing_packages "$@"
     for j in linux wine32 bench; do have_job $j && echo "have $j" || echo "lack $j"; done' \
    _ "$top" "$@" 2>&1) && code=0 || code=$?
}
state() { mkdir -p "$WORK/$1"; shift; [ $# -eq 0 ] || printf '%s\n' "$@" >"$WORK/$1"; }
installed_all() {  # Every package named is in the state's installed list.
  local p
  for p in "${@:2}"; do grep -qxF "$p" "$WORK/$1/installed" 2>/dev/null || return 1; done
}
has() { grep -qF -- "$1" <<<"$out"; }

state bare
install bare linux windows win32 wine32 test package bench
check_that "bare machine: exit 0" test $code -eq 0
check_that "bare machine: says what it installs" has "Installing ${#every[@]} packages: cmake ninja-build"
check_that "bare machine: every package installed" installed_all bare "${every[@]}"
check_that "bare machine: i386 added for wine32" grep -qx i386 "$WORK/bare/foreign"
check_that "bare machine: no failure reported" bash -c '! grep -q "could not be installed" <<<"$0"' "$out"

state complete; printf '%s\n' "${every[@]}" >"$WORK/complete/installed"
install complete linux windows win32 wine32 test package bench
check_that "complete machine: exit 0" test $code -eq 0
check_that "complete machine: silent" test "$out" = $'have linux\nhave wine32\nhave bench'
check_that "complete machine: apt-get never called" bash -c '! grep -q "^apt-get" "$0"' "$WORK/complete/calls"

state unknown; echo wesnoth-1.16-music >"$WORK/unknown/unknown"
install unknown linux windows win32 wine32 test package bench
check_that "unknown package: exit 0" test $code -eq 0
check_that "unknown package: named with apt's reason and what is lost" has \
  "wesnoth-1.16-music could not be installed (Unable to locate package wesnoth-1.16-music): the benchmarks that use it will not run"
check_that "unknown package: the rest installed" installed_all unknown "${linux_only[@]}" wine32:i386 sox
check_that "unknown package: its job lacks it, the others do not" has $'have linux\nhave wine32\nlack bench'

state refused; echo wine32:i386 >"$WORK/refused/refused"
install refused linux windows win32 wine32 test package bench
check_that "refused package: exit 0" test $code -eq 0
check_that "refused package: one line naming it, its reason and the loss" has \
  "wine32:i386 could not be installed (Package 'wine32:i386' has no installation candidate): the 32-bit Windows tests will not run"
check_that "refused package: the rest installed" installed_all refused "${linux_only[@]}" wine64 g++-mingw-w64-i686
check_that "refused package: only wine32 lacks" has $'have linux\nlack wine32\nhave bench'

state broken; echo sox >"$WORK/broken/broken"
install broken linux windows win32 wine32 test package bench
check_that "failed download: exit 0" test $code -eq 0
check_that "failed download: named with apt's reason" has "sox could not be installed (Failed to fetch"
check_that "failed download: the rest installed" installed_all broken "${linux_only[@]}" wine32:i386 aubio-tools

state stale; : >"$WORK/stale/update_fails"
install stale linux
check_that "unreadable index: warned" has "warning: apt-get update: Failed to fetch"
check_that "unreadable index: the packages still installed" installed_all stale "${linux_only[@]}"

state linux
install linux linux
check_that "Linux job alone: exit 0" test $code -eq 0
check_that "Linux job alone: its packages installed" installed_all linux "${linux_only[@]}"
check_that "Linux job alone: no Wine, mingw, aubio or lintian" \
  bash -c '! grep -qE "^(wine|g\+\+-mingw|aubio|lintian|libclang-rt)" "$0"' "$WORK/linux/installed"

finish
