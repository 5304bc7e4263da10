# Sourced by run.sh and test.sh: installs, as root, whatever of the build and
# test tools this machine lacks. Nothing is fetched when all is present.
PIPESERVER_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64 wine32:i386 xvfb xdotool x11-utils imagemagick socat libfltk1.3-dev
  util-linux procps psmisc python3 xfonts-base fonts-dejavu-core
  libpulse-dev libsndfile1-dev pulseaudio pulseaudio-utils sox
  libkissfft-dev aubio-tools python3-mir-eval wesnoth-1.16-music
)

install_missing_packages() {
  local missing=()
  for p in "${PIPESERVER_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: these packages are missing and installing them needs root" >&2
    return 1
  fi
  # wine32 (the i686 build's tests) comes from the i386 architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
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

stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
}
