# Sourced by the scripts (run.sh, test.sh, package.sh, bench.sh,
# bench-music.sh): the one list of the Debian packages that building,
# running, testing and measuring need, each with the jobs that need it, and
# the helpers the scripts share (virtual display, window search, Wine
# prefix); tests/support/lib.sh and pipe_harness.py use them too.
#
#   install_missing_packages JOB...   installs, as root, what those jobs lack
#   require_jobs JOB...               the same, and fails if one still lacks some
#   have_job JOB                      whether a job's packages are all there
#
# A package that cannot be installed stops only the jobs that need it: the
# others' packages are installed all the same, and one line says what will
# not run and why.

# package               jobs that need it
PIPESERVER_PACKAGE_TABLE='
cmake                   linux
ninja-build             linux
g++                     linux
pkgconf                 linux
libfltk1.3-dev          linux
libgtest-dev            linux
python3                 linux
libpulse-dev            linux
libsndfile1-dev         linux
libkissfft-dev          linux
help2man                linux
imagemagick             linux
xvfb                    linux
x11-utils               linux
xdotool                 linux
xfonts-base             linux
fonts-dejavu-core       linux
util-linux              linux
g++-mingw-w64-x86-64    windows
wine                    windows win32
wine64                  windows
g++-mingw-w64-i686      win32
wine32:i386             wine32
clang                   test
libclang-rt-14-dev      test
libbenchmark-dev        test bench
socat                   test
procps                  test
psmisc                  test
pulseaudio              test bench
pulseaudio-utils        test bench
sox                     test bench
iproute2                test
ola                     test
ola-python              test
tshark                  test
systemd                 test
liblo-tools             test
qlcplus                 test
libola-dev              test package
lintian                 package
desktop-file-utils      package
dpkg-dev                package
unzip                   package
aubio-tools             bench
python3-mir-eval        bench
wesnoth-1.16-music      bench
'

# What is lost with each job's packages, for the line that says so.
declare -gA PIPESERVER_JOB_LOSS=(
  [linux]="the Linux programs cannot be built"
  [windows]="the Windows programs cannot be built or run"
  [win32]="the 32-bit Windows programs cannot be built"
  [wine32]="the 32-bit Windows tests will not run"
  [test]="the tests that use it will fail"
  [package]="the packages cannot be made or checked"
  [bench]="the benchmarks that use it will not run"
)

# Packages that could not be installed in this run, one a line.
PIPESERVER_UNAVAILABLE=""

# The packages of the given jobs, one a line, in the table's order.
packages_for() {
  awk -v jobs=" $* " 'NF > 1 { for (i = 2; i <= NF; i++) if (index(jobs, " " $i " ")) { print $1; next } }' \
    <<<"$PIPESERVER_PACKAGE_TABLE"
}

# Of the packages named, those that are not installed, one a line. dpkg-query
# exits 1 when it knows some of them not at all: that is an answer here.
missing_packages() {
  local installed native p
  [ $# -gt 0 ] || return 0  # dpkg-query with no name lists every package.
  native=":$(dpkg --print-architecture)"
  installed=$({ dpkg-query -W -f='${binary:Package} ${db:Status-Status}\n' "$@" 2>/dev/null || true; } |
    awk -v native="$native" '$2 == "installed" { sub(native "$", "", $1); print $1 }')
  for p in "$@"; do
    grep -qxF "$p" <<<"$installed" || echo "$p"
  done
}

have_job() {
  local packages
  mapfile -t packages < <(packages_for "$1")
  [ -z "$(missing_packages "${packages[@]}")" ]
}

# What a package's loss stops: the losses of the jobs that need it.
loss_of() {
  local job out=""
  for job in $(awk -v p="$1" '$1 == p { $1 = ""; print }' <<<"$PIPESERVER_PACKAGE_TABLE"); do
    out+="${out:+; }${PIPESERVER_JOB_LOSS[$job]}"
  done
  echo "$out"
}

# The first "E: " line of apt's output, without the "E: ".
apt_error_of() { sed -n '/^E: /{s///;p;q}' <<<"$1"; }

# apt-get install, quietly; its first error line, if any, in $apt_error.
apt_install() {
  local log
  log=$(DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$@" 2>&1 </dev/null) && return 0
  apt_error=$(apt_error_of "$log")
  return 1
}

install_missing_packages() {
  local wanted missing p log installable=() apt_error=""
  local -A refused=()  # package -> apt's reason
  mapfile -t wanted < <(packages_for "$@")
  mapfile -t missing < <(missing_packages "${wanted[@]}")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: these packages are missing and installing them needs root: ${missing[*]}" >&2
    return 1
  fi
  echo "Installing ${#missing[@]} packages: ${missing[*]}"
  # wine32 is an i386 package: the architecture is added once.
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # One index that cannot be read (a mirror in the middle of a sync) leaves
  # the others usable: say so and go on with what there is.
  if ! log=$(apt-get update -qq -o DPkg::Lock::Timeout=300 2>&1 </dev/null); then
    echo "warning: apt-get update: $(sed -n '/^[EW]: /{s///;p;q}' <<<"$log")" >&2
  fi
  # What apt can resolve goes into one install; each package it cannot
  # resolve is said once, with apt's own reason, and stops only what needs it.
  if apt-get install -s -qq "${missing[@]}" >/dev/null 2>&1 </dev/null; then
    installable=("${missing[@]}")
  else
    for p in "${missing[@]}"; do
      if log=$(apt-get install -s -qq "$p" 2>&1 </dev/null); then
        installable+=("$p")
      else
        refused[$p]=$(apt_error_of "$log")
      fi
    done
  fi
  if [ ${#installable[@]} -gt 0 ] && ! apt_install "${installable[@]}"; then
    # A download or unpacking error in one: each alone, so that the rest come.
    for p in "${installable[@]}"; do
      [ -z "$(missing_packages "$p")" ] && continue
      apt_install "$p" || refused[$p]=$apt_error
    done
  fi
  for p in "${missing[@]}"; do
    [ -n "${refused[$p]+set}" ] || continue
    echo "$p could not be installed (${refused[$p]:-no reason given}): $(loss_of "$p")" >&2
    PIPESERVER_UNAVAILABLE+="$p"$'\n'
  done
  return 0
}

# For a script that needs every one of its jobs: installs what is missing,
# then fails, naming the first package still missing, if a job lacks one.
require_jobs() {
  install_missing_packages "$@" || return 1
  local job packages p
  for job; do
    mapfile -t packages < <(packages_for "$job")
    p=$(missing_packages "${packages[@]}" | head -n 1)
    [ -z "$p" ] || { echo "error: $p is not installed: ${PIPESERVER_JOB_LOSS[$job]}" >&2; return 1; }
  done
}

# A virtual X display for the window tests, unless one is already given.
# Sets DISPLAY and XVFB_PID (empty when an existing display is used).
start_virtual_display() {
  XVFB_PID=""
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  # -displayfd: the server takes a free display number itself and writes
  # it there. -noreset: else it resets each time its last client goes, and a
  # program started during the reset cannot connect.
  local number _
  number=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$number" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$number" ] && export DISPLAY=":$(cat "$number")"
  rm -f "$number"
  for _ in $(seq 50); do
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  kill "$XVFB_PID" 2>/dev/null; XVFB_PID=""
  echo "error: could not start a virtual X display" >&2
  return 1
}

stop_virtual_display() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}

# find_window NAME-REGEX: the id of the first visible window whose whole
# name matches, or nothing.
find_window() { { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; } | head -n 1; }

# wait_window NAME-REGEX [SECONDS]: prints the window's id once it shows
# (within 10 s unless told); fails when it does not.
wait_window() {
  local deadline=$((SECONDS + ${2:-10})) id
  until id=$(find_window "$1") && [ -n "$id" ]; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
  echo "$id"
}

# One Wine prefix per build, created once; a persistent wineserver so that
# each test does not pay for starting one.
# Whether this system runs Wine's 32-bit loader: installed is not enough
# where the kernel takes no 32-bit programs ("Exec format error").
wine32_runs() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

prepare_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # A 64-bit prefix made before wine32 was installed has no 32-bit half,
  # and Wine's 32-bit loader (which "wine" then is) cannot start in it. On
  # a system that cannot run that loader at all, every prefix lacks the
  # half: it is kept, not made again on every run.
  local wow="$WINEPREFIX/drive_c/windows/syswow64"
  if wine32_runs && [ -d "$wow" ] && [ -z "$(ls -A "$wow")" ]; then
    echo "Making the Wine prefix $WINEPREFIX again: it predates 32-bit Wine"
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true
  # Start Wine's own services now, with their output away from CTest's pipes:
  # otherwise the first test's services hold its output open and CTest waits
  # for them until the time-out. With the x86-64 loader where the 32-bit
  # one cannot run ("wine" would fail and start nothing).
  local loader=wine
  wine32_runs || loader=$(wine64_loader) || loader=wine
  "$loader" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# The loader for the x86-64 build's programs. Debian's "wine" is the 32-bit
# loader once wine32 is installed, and it runs a 64-bit program as the child
# of a "start.exe /exec" of its own: the process a script starts, waits for
# and signals would be that start.exe, not the program.
wine64_loader() {
  local loader
  for loader in /usr/lib/wine/wine64 "$(command -v wine64 2>/dev/null)"; do
    [ -x "$loader" ] && { echo "$loader"; return 0; }
  done
  echo wine
}

# The loader for the Windows program $1: wine64_loader's for an x86-64 one
# (by its PE header's machine field), plain wine for an i686 one.
wine_loader_for() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  if [ "$machine" = 8664 ]; then wine64_loader; else echo wine; fi
}

stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
}
