# Sourced by the end-to-end scripts. Each script runs in a private network
# namespace: the abstract socket "tormelin" is global per namespace, and
# other runs on this machine serve it too. Its own Xvfb runs in there as
# well, so the X connection does not depend on the outer namespace.
# Needs: PIPESERVER (the program), XPROBE (tests/e2e-linux/xprobe.cpp).
set -euo pipefail

if [ -z "${PIPESERVER_PRIVATE_NET:-}" ]; then
  export PIPESERVER_PRIVATE_NET=1
  exec unshare --net -- bash "$0" "$@"
fi

WORK=$(mktemp -d)
STARTED_PIDS=()
cleanup() {
  local pid
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }
finish() {
  # The program ends with _Exit, so a sanitizer's report does not change
  # its exit code: look for reports in what it printed.
  if grep -qE "Sanitizer|runtime error" "$WORK/program.out" 2>/dev/null; then
    fail "the program printed a sanitizer report"
    cat "$WORK/program.out" >&2
  fi
  [ "$FAILURES" -eq 0 ] && { echo "all checks passed"; exit 0; }
  echo "$FAILURES check(s) failed" >&2
  exit 1
}

# wait_until SECONDS COMMAND...: polls the command until it succeeds.
wait_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# -noreset: without it the server resets each time its last client goes,
# and a program started during the reset cannot connect.
start_xvfb() {
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$WORK/display" >/dev/null 2>&1 &
  STARTED_PIDS+=($!)
  wait_until 10 test -s "$WORK/display" || { echo "error: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(cat "$WORK/display")"
  wait_until 10 xdpyinfo || { echo "error: cannot reach $DISPLAY" >&2; exit 1; }
}

# start_program ARGS...: starts the program, its port accesses logged to
# $WORK/port.log; sets PROGRAM_PID.
start_program() {
  : >"$WORK/port.log"
  PIPESERVER_PORT_LOG="$WORK/port.log" "$PIPESERVER" "$@" >>"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  STARTED_PIDS+=("$PROGRAM_PID")
}

# find_window NAME-REGEX: the id of the first visible window whose whole
# name matches, or nothing.
find_window() { { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; } | head -n 1; }

# wait_window NAME-REGEX [SECONDS]: prints the window's id once it shows.
wait_window() {
  local deadline=$((SECONDS + ${2:-10})) id
  while :; do
    id=$(find_window "$1")
    [ -n "$id" ] && { echo "$id"; return 0; }
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# main_window [SECONDS]: the program's main window; when it does not show,
# says what became of the program.
main_window() {
  wait_window 'Pipe Server Vantrelle \(p:[0-9A-F]+\)' "${1:-10}" && return 0
  if kill -0 "$PROGRAM_PID" 2>/dev/null; then
    echo "the program runs, with no main window" >&2
  else
    local code=0
    wait "$PROGRAM_PID" || code=$?
    echo "the program ended with exit status $code" >&2
  fi
  sed 's/^/  program: /' "$WORK/program.out" >&2
  return 1
}

# send LINE...: one client that writes each line (with its line feed) in
# one write, then goes.
send() {
  local line
  for line in "$@"; do printf '%s\n' "$line"; sleep 0.2; done |
    timeout 10 socat -t 1 - ABSTRACT-CONNECT:tormelin
}

# lamps_show WINDOW BANK0 BANK1 text|empty: the window's picture now.
lamps_show() {
  "$XPROBE" capture "$1" "$WORK/capture.ppm" && "$XPROBE" lamps "$WORK/capture.ppm" "$2" "$3" "$4"
}

# expect_lamps WINDOW BANK0 BANK1 WHAT: waits up to 5 s for the picture.
expect_lamps() {
  if wait_until 5 lamps_show "$1" "$2" "$3" text; then
    pass "$4: lamps $2 $3"
  else
    fail "$4: lamps $2 $3"
    lamps_show "$1" "$2" "$3" text >&2 || true
  fi
}

start_xvfb

# close_and_expect_exit WINDOW WHAT: asks the window to close; the program
# must end promptly with exit code 0.
close_and_expect_exit() {
  "$XPROBE" close "$1"
  local deadline=$((SECONDS + 5))
  while kill -0 "$PROGRAM_PID" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
  if kill -0 "$PROGRAM_PID" 2>/dev/null; then
    fail "$2: still running 5 s after its window was closed"
    return
  fi
  local code=0
  wait "$PROGRAM_PID" || code=$?
  if [ "$code" -eq 0 ]; then pass "$2: exit code 0"; else fail "$2: exit code $code"; fi
}

# reference_text TEXT FILE: a capture of TEXT drawn by status_text_ref.
reference_text() {
  "$TEXT_REF" "$1" &
  local pid=$! window
  window=$(wait_window 'status text reference' 10) && sleep 0.3 && "$XPROBE" capture "$window" "$2"
  local status=$?
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  return $status
}

text_shows() {
  "$XPROBE" capture "$1" "$WORK/text.ppm" && "$XPROBE" compare "$WORK/text.ppm" "$2" 0 0 256 20
}

# expect_text WINDOW TEXT: within 5 s, the window's text area (0,0)-(256,20)
# is the reference picture of TEXT.
expect_text() {
  reference_text "$2" "$WORK/reference.ppm" || { fail "no reference picture of '$2'"; return; }
  if wait_until 5 text_shows "$1" "$WORK/reference.ppm"; then
    pass "status text '$2'"
  else
    fail "status text is not '$2'"
    text_shows "$1" "$WORK/reference.ppm" >&2 || true
  fi
}
