# Sourced by the scripts (run.sh, test.sh, bench.sh): the one list of the
# Debian packages that building, running, testing and measuring need, and
# the helpers they share (virtual display, Wine prefix). install_missing_packages
# installs, as root, whatever of the list this machine lacks; when all is
# present it fetches nothing and says nothing.
PIPESERVER_PACKAGES=(
  # Build: native, cross (x86-64 and i686), sanitizers and fuzzing, tests.
  cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 libfltk1.3-dev
  # Running the Windows build and the window tests.
  wine wine64 wine32:i386 xvfb xdotool x11-utils imagemagick xfonts-base fonts-dejavu-core
  # The test drivers.
  socat util-linux procps psmisc python3
  # Sound: capture (PulseAudio), files, FFT, and the references and music
  # that the analysis is measured against.
  pulseaudio pulseaudio-utils libpulse-dev libsndfile1-dev libkissfft-dev sox aubio-tools
  python3-mir-eval wesnoth-1.16-music
  # Packaging checks.
  lintian desktop-file-utils dpkg-dev help2man unzip
)

install_missing_packages() {
  local installed missing=() p
  # One query for all: "name status" for those dpkg knows, name:arch for a
  # foreign architecture's and for some of the native one's (without it here).
  installed=$(dpkg-query -W -f='${binary:Package} ${db:Status-Status}\n' "${PIPESERVER_PACKAGES[@]}" 2>/dev/null |
    awk -v native=":$(dpkg --print-architecture)" '$2 == "installed" { sub(native "$", "", $1); print $1 }')
  for p in "${PIPESERVER_PACKAGES[@]}"; do
    grep -qxF "$p" <<<"$installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: these packages are missing and installing them needs root" >&2
    return 1
  fi
  # wine32 is an i386 package: the architecture is added once.
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  # With the recommended packages: Wine and Xvfb want their fonts and helpers.
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# A virtual X display for the window tests, unless one is already given.
# Sets DISPLAY and XVFB_PID (empty when an existing display is used).
start_virtual_display() {
  XVFB_PID=""
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    kill "$XVFB_PID" 2>/dev/null; XVFB_PID=""
  done
  echo "error: could not start a virtual X display" >&2
  return 1
}

stop_virtual_display() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}

# One Wine prefix per build, created once; a persistent wineserver so that
# each test does not pay for starting one.
prepare_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true
  # Start Wine's own services now, with their output away from CTest's pipes:
  # otherwise the first test's services hold its output open and CTest waits
  # for them until the time-out.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
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
