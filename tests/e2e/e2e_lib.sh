# Sourced by the listener's end-to-end scripts: start hosts, follow a host's
# output line by line and compare each new line with the one expected.
# Every wait is bounded; every process started here is killed on exit.

FAILURES=0
PIDS=()
WORK=$(mktemp -d)
trap 'for p in "${PIDS[@]}"; do kill -9 "$p" 2>/dev/null; done; rm -rf "$WORK"' EXIT

HOST_OUT=""  # The output file of the host being followed.
SEEN=0       # Its lines checked so far.

pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; FAILURES=$((FAILURES + 1)); }

# Complete lines of a host's output, without Windows' carriage returns.
complete_lines() { tr -d '\r' <"$1" | sed -n "1,$(tr -d '\r' <"$1" | wc -l)p"; }

# Waits (at most 10 s) for the next complete line of the host's output and
# checks it against $1.
expect_next() {
  local want=$1 got="" _
  for _ in $(seq 100); do
    got=$(complete_lines "$HOST_OUT" | sed -n "$((SEEN + 1))p")
    [ -n "$got" ] && break
    sleep 0.1
  done
  SEEN=$((SEEN + 1))
  if [ "$got" = "$want" ]; then pass "$want"; return 0; fi
  fail "expected [$want], got [${got:-nothing in 10 s}]"
  [ -n "$got" ] || finish  # Nothing more will come: the checks after this cannot pass.
}

# Skips lines until one matches the glob pattern $1 (for output whose length
# varies, such as a pattern's); fails when none does within 10 s.
expect_eventually() {
  local want=$1 got _
  for _ in $(seq 100); do
    while [ "$(complete_lines "$HOST_OUT" | wc -l)" -gt "$SEEN" ]; do
      SEEN=$((SEEN + 1))
      got=$(complete_lines "$HOST_OUT" | sed -n "${SEEN}p")
      # shellcheck disable=SC2053 # $want is a pattern.
      if [[ $got == $want ]]; then pass "(after skipping) $got"; return 0; fi
    done
    sleep 0.1
  done
  fail "no line [$want] in 10 s"
  finish
}

# Checks that the host prints nothing more for $1 seconds.
expect_quiet() {
  sleep "$1"
  local count
  count=$(complete_lines "$HOST_OUT" | wc -l)
  if [ "$count" -eq "$SEEN" ]; then pass "nothing new for $1 s"; else
    fail "unexpected output: $(complete_lines "$HOST_OUT" | sed -n "$((SEEN + 1)),\$p" | tr '\n' '|')"
    SEEN=$count
  fi
}

# Runs a command with a time limit; its status is that of the command.
bounded() { timeout -k 2 "${LIMIT:-10}" "$@"; }

# Waits (at most 10 s) for process $1 to end; fails when it does not.
expect_ends() {
  local _
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  fail "process $1 still running after 10 s"
  return 1
}

finish() {
  if [ "$FAILURES" -eq 0 ]; then echo "all checks passed"; exit 0; fi
  echo "$FAILURES check(s) failed"
  exit 1
}
