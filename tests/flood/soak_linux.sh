#!/usr/bin/env bash
# A short soak of the program as shipped (the real port back end, in the
# emulation mode only: no test touches a port): its title, then sessions of
# lightsend and socat clients, every fourth killed in the middle of a line.
# Afterwards the picture shows the last full session's last line with
# ">xxx", the program holds no more descriptors and little more memory than
# after a warm-up, and it ends with status 0 when its window is closed.
# Needs: PIPESERVER (pipeserver), XPROBE, TEXT_REF, LIGHTSEND;
# SESSIONS and RSS_SLACK_KB.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

# sessions COUNT SEED: each session connects, sends 1 to 5 lines 20 ms
# apart and goes: the even ones through lightsend, the odd ones through
# socat, and every fourth (but the last) is killed after part of its last
# line. Sets LAST: the last line a session sent in full.
sessions() {
  local count=$1 session n line lines client
  RANDOM=$2
  for ((session = 0; session < count; session++)); do
    lines=()
    for ((n = RANDOM % 5 + 1; n > 0; n--)); do
      printf -v line '>5L%04X' $(((RANDOM << 1 ^ RANDOM) & 0xFFFF))
      lines+=("$line")
    done
    if ((session % 2 == 0)); then
      LIMIT=20 bounded "$LIGHTSEND" --delay 20 "${lines[@]}" || fail "lightsend, session $session"
      LAST=${lines[-1]}
      continue
    fi
    exec 8> >(exec socat -u - ABSTRACT-CONNECT:tormelin)
    client=$!
    for line in "${lines[@]:0:${#lines[@]}-1}"; do printf '%s\n' "$line" >&8; sleep 0.02; done
    if ((session % 4 == 3 && session != count - 1)); then  # What of it reached the program is uncertain.
      printf '%s' "${lines[-1]:0:4}" >&8
      sleep 0.02
      kill -9 "$client"
      exec 8>&-
      wait "$client" 2>/dev/null || true
      continue
    fi
    printf '%s\n' "${lines[-1]}" >&8
    sleep 0.02
    exec 8>&-
    wait "$client" || fail "socat, session $session"
    LAST=${lines[-1]}
  done
}
fds() { ls "/proc/$PROGRAM_PID/fd" | wc -l; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$PROGRAM_PID/status"; }

start_program
window=$(main_window 8) || { fail "no main window within 8 s"; finish; }
expect_title "$window" "Pipe Server Vantrelle (p:0)" "the emulation mode"
sessions 40 1  # The warm-up.
sleep 0.5
fds_before=$(fds) rss_before=$(rss_kb)
sessions "$SESSIONS" 2
value=$((16#${LAST:3}))
expect_lamps "$window" "$(printf %02x $((value & 0xFF)))" "$(printf %02x $((value >> 8)))" \
  "after $SESSIONS sessions, $LAST"
expect_text "$window" ">xxx"
sleep 0.5
check_equal "descriptors after the sessions (after the warm-up: $fds_before)" "$(fds)" "$fds_before"
rss_after=$(rss_kb)
check_that "VmRSS: $rss_before kB -> $rss_after kB (slack $RSS_SLACK_KB kB)" \
  test "$rss_after" -le $((rss_before + RSS_SLACK_KB))
close_and_expect_exit "$window" "after the soak"
finish
