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

# A package apt does not know, one it refuses, one whose download fails:
# each named with apt's reason and what is lost; the rest installed; only
# its own job lacks it. CASE|PACKAGE|REASON AND LOSS|JOBS|INSTALLED BESIDES
while IFS='|' read -r case p said jobs besides; do
  state "$case"; echo "$p" >"$WORK/$case/$case"
  install "$case" linux windows win32 wine32 test package bench
  check_that "$case package: exit 0" test $code -eq 0
  check_that "$case package: one line naming it, apt's reason and the loss" has "$p could not be installed ($said"
  # shellcheck disable=SC2086 # Package names, one a word.
  check_that "$case package: the rest installed" installed_all "$case" "${linux_only[@]}" $besides
  check_equal "$case package: only its job lacks it" "$(tail -n 3 <<<"$out" | paste -sd' ')" "$jobs"
done <<'CASES'
unknown|wesnoth-1.16-music|Unable to locate package wesnoth-1.16-music): the benchmarks that use it will not run|have linux have wine32 lack bench|wine32:i386 sox
refused|wine32:i386|Package 'wine32:i386' has no installation candidate): the 32-bit Windows tests will not run|have linux lack wine32 have bench|wine64 g++-mingw-w64-i686
broken|sox|Failed to fetch|have linux have wine32 lack bench|wine32:i386 aubio-tools
CASES

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
