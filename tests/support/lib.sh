# The one shell library of the end-to-end scripts: checks and their verdict,
# processes that end with the script, a private network namespace and a
# private Xvfb, the Linux program's window and pictures, and real clients of
# the pipe.
#
#   source tests/support/lib.sh           # in a private network namespace
#   SHARED_NET=1 source tests/support/lib.sh   # Wine: the pipe is the prefix's
#
# Every wait is bounded; every process started through it is ended on exit.
# Needs, by function: PIPESERVER (the program), XPROBE (xprobe), TEXT_REF
# (status_text_ref).
set -euo pipefail

SUPPORT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The abstract socket "tormelin" is global per network namespace and other
# runs on this machine serve it too: the script runs again in a private one
# (tests/support/private_net.sh), before it has started anything.
if [ -z "${SHARED_NET:-}" ] && [ -z "${PIPESERVER_PRIVATE_NET:-}" ]; then
  exec bash "$SUPPORT_DIR/private_net.sh" bash "$0" "$@"
fi

WORK=$(mktemp -d)
STARTED_PIDS=()
any_alive() { local pid; for pid; do kill -0 "$pid" 2>/dev/null && return 0; done; return 1; }
cleanup() {
  set +e
  local pid
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  # Wine's processes take a moment to end.
  for _ in $(seq 20); do any_alive "${STARTED_PIDS[@]}" || break; sleep 0.1; done
  for pid in "${STARTED_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT

# started PID: ends the process with the script.
started() { STARTED_PIDS+=("$1"); }

FAILURES=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }
# check_that WHAT COMMAND...: passes when the command succeeds.
check_that() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
# check_equal WHAT GOT WANT
check_equal() {
  if [ "$2" = "$3" ]; then pass "$1: $2"; else fail "$1: '$2', want '$3'"; fi
}
finish() {
  # The program ends with _Exit, so a sanitizer's report does not change
  # its exit code: look for reports in what it printed.
  if grep -qE "Sanitizer|runtime error" "$WORK/program.out" 2>/dev/null; then
    fail "the program printed a sanitizer report"
    cat "$WORK/program.out"
  fi
  [ "$FAILURES" -eq 0 ] && { echo "all checks passed"; exit 0; }
  echo "$FAILURES check(s) failed"
  exit 1
}

# bounded COMMAND...: the command with a time limit (LIMIT, default 10 s).
bounded() { timeout -k 2 "${LIMIT:-10}" "$@"; }

# expect_exit WHAT STATUS OUT COMMAND...: the command, bounded, its output
# in OUT; its exit status must be STATUS.
expect_exit() {
  local what=$1 want=$2 out=$3 code=0
  shift 3
  bounded "$@" >"$out" 2>&1 || code=$?
  check_equal "$what: exit status" "$code" "$want"
}

# wait_until SECONDS COMMAND...: polls the command until it succeeds.
wait_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# --- peers: receivers and stand-ins written from published protocols -----

# start_peer NAME COMMAND...: runs COMMAND --ready FILE, its standard output
# in $WORK/NAME.out and its errors in $WORK/NAME.err, ended with the script;
# returns once the peer has made FILE (it listens).
declare -A PEERS
start_peer() {
  local name=$1
  shift
  rm -f "$WORK/$name.ready"
  "$@" --ready "$WORK/$name.ready" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  PEERS[$name]=$!
  started "$!"
  wait_until 30 test -e "$WORK/$name.ready" || fail "$name did not start"
}
# peer_done NAME: waits for the peer to end; its exit status.
peer_done() { wait "${PEERS[$1]}" 2>/dev/null; }
# expect_peer_checks NAME: the peer's own checks, printed; all must pass.
expect_peer_checks() {
  local code=0
  peer_done "$1" || code=$?
  sed "s/^/  $1: /" "$WORK/$1.out" "$WORK/$1.err"
  check_equal "$1: all its checks" "$code" 0
}

# --- a private display --------------------------------------------------

# The scripts' virtual display and window search (scripts/deps.sh).
source "$SUPPORT_DIR/../../scripts/deps.sh"

# start_xvfb: each call an Xvfb of its own, ended with the script.
start_xvfb() {
  unset DISPLAY
  start_virtual_display || exit 1
  started "$XVFB_PID"
}

# --- real clients of the Linux socket -----------------------------------

# send LINE...: one socat client that writes each line (with its line feed)
# in one write, 0.2 s apart, then goes.
send() {
  local line
  for line in "$@"; do printf '%s\n' "$line"; sleep 0.2; done |
    timeout 10 socat -t 1 - ABSTRACT-CONNECT:tormelin
}

# hold_client: a socat client that stays connected while the script holds
# its FIFO open (descriptor 7); client_line LINE writes one line through
# it; release_client lets it go.
hold_client() {
  mkfifo "$WORK/client"
  socat -u - ABSTRACT-CONNECT:tormelin <"$WORK/client" &
  CLIENT_PID=$!
  started "$CLIENT_PID"
  exec 7>"$WORK/client"
}
client_line() { printf '%s\n' "$1" >&7; }
release_client() {
  exec 7>&-
  wait "$CLIENT_PID" 2>/dev/null || true
  rm -f "$WORK/client"
}

# --- the Linux program --------------------------------------------------

# start_headless ARGS...: the program without a window or a display, its
# output added to $WORK/program.out; returns once it says it listens.
start_headless() {
  local listening='^pipeserver: listening on @tormelin, no window$' before
  touch "$WORK/program.out"
  before=$(grep -c "$listening" "$WORK/program.out" || true)
  env -u DISPLAY "$PIPESERVER" --no-window "$@" >>"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  started "$PROGRAM_PID"
  wait_until 5 eval '[ "$(grep -c "$listening" "$WORK/program.out")" -gt "$before" ]' ||
    fail "no line saying it listens"
}
# stop_headless WHAT: SIGTERM; the program must end with exit code 0.
stop_headless() {
  kill -TERM "$PROGRAM_PID"
  local code=0
  wait "$PROGRAM_PID" || code=$?
  check_equal "$1: exit code after SIGTERM" "$code" 0
}

# start_program ARGS...: starts the program, its port accesses logged to
# $WORK/port.log; sets PROGRAM_PID.
start_program() {
  : >"$WORK/port.log"
  PIPESERVER_PORT_LOG="$WORK/port.log" "$PIPESERVER" "$@" >>"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  started "$PROGRAM_PID"
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

# expect_title WINDOW TITLE WHAT
expect_title() { check_equal "$3: title" "$(xdotool getwindowname "$1")" "$2"; }

# box_text WINDOW, box_style WINDOW: what a message box carries in its
# window properties (X lets no other program read a dialog's text).
box_text() { "$XPROBE" prop "$1" _PIPESERVER_BOX_TEXT || true; }
box_style() { "$XPROBE" prop "$1" _PIPESERVER_BOX_STYLE || true; }
# expect_box BOX CAPTION TEXT STYLE WHAT
expect_box() {
  check_equal "$5: caption" "$(xdotool getwindowname "$1")" "$2"
  check_equal "$5: text" "$(box_text "$1")" "$3"
  check_equal "$5: style" "$(box_style "$1")" "$4"
}

# close_box BOX: answers a message box with Return. expect_box_gone WHAT:
# within 5 s, no window of the program's name but the main window is left.
close_box() { xdotool windowfocus --sync "$1" key Return; }
expect_box_gone() { check_that "$1" wait_until 5 eval '[ -z "$(find_window "Pipe Server Vantrelle")" ]'; }

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
    lamps_show "$1" "$2" "$3" text || true
  fi
}

# capture_after LINE FILE BANK0 BANK1: a fresh program, the line from a
# client that then goes, its lamps awaited, the client area saved; then
# the program must end as close_and_expect_exit says.
capture_after() {
  start_program
  local window
  window=$(main_window) || { fail "no main window"; return 1; }
  send "$1"
  wait_until 5 lamps_show "$window" "$3" "$4" text || fail "$1 not shown"
  "$XPROBE" capture "$window" "$2"
  close_and_expect_exit "$window" "$1"
}

# close_and_expect_exit WINDOW WHAT: asks the window to close; the program
# must end within 5 s with exit code 0.
close_and_expect_exit() {
  "$XPROBE" close "$1"
  if ! wait_until 5 eval "! any_alive $PROGRAM_PID"; then
    fail "$2: still running 5 s after its window was closed"
    return
  fi
  local code=0
  wait "$PROGRAM_PID" || code=$?
  check_equal "$2: exit code" "$code" 0
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
    text_shows "$1" "$WORK/reference.ppm" || true
  fi
}

# --- pipeserver.exe under Wine (the prefix's: WINEPREFIX) ----------------

# Wine's drive Z: is the Unix root.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

# start_exe ARGS...: pipeserver.exe -p 0 ARGS and its main window; sets
# PROGRAM_PID and window.
start_exe() {
  "$(wine_loader_for "$PIPESERVER_EXE")" "$PIPESERVER_EXE" -p 0 "$@" >>"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  started "$PROGRAM_PID"
  window=$(wait_window 'Pipe Server Vantrelle \(p:0\)' 60) || { fail "no main window"; finish; }
}
# stop_exe WHAT: closes the window; the program must end within 10 s.
stop_exe() {
  "$XPROBE" close "$window"
  check_that "$1: the program ends after its window closes" wait_until 10 eval "! any_alive $PROGRAM_PID"
}
# lightsend_exe LINE...: lightsend.exe sends the lines.
lightsend_exe() { bounded "$(wine_loader_for "$LIGHTSEND_EXE")" "$LIGHTSEND_EXE" "$@" >/dev/null 2>&1; }
