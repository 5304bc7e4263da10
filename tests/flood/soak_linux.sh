#!/usr/bin/env bash
# A short soak of the shipped Linux program (real port back end, emulation
# mode): a few hundred sessions of socat and lightsend clients, some killed
# in the middle of a line. Afterwards the picture shows the last full
# session's last line with ">xxx", and the program holds no more
# descriptors and little more memory than after a warm-up.
# Needs: PIPESERVER, XPROBE, LIGHTSEND, SESSIONS, RSS_SLACK_KB.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb
harness=$(dirname "$0")/../support/pipe_harness.py

fds() { ls "/proc/$PROGRAM_PID/fd" | wc -l; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$PROGRAM_PID/status"; }

start_program
window=$(main_window) || { fail "no main window"; finish; }

python3 "$harness" sessions "$LIGHTSEND" 40 1 >/dev/null || fail "warm-up sessions failed"
sleep 0.5
fds_before=$(fds); rss_before=$(rss_kb)

last=$(python3 "$harness" sessions "$LIGHTSEND" "$SESSIONS" 2) || fail "sessions failed"
read -r line bank0 bank1 <<<"$last"
echo "$SESSIONS sessions; the last full line: $line"
expect_lamps "$window" "$bank0" "$bank1" "after $SESSIONS sessions, $line"
expect_text "$window" ">xxx"

sleep 0.5
fds_after=$(fds); rss_after=$(rss_kb)
echo "descriptors $fds_before -> $fds_after, VmRSS $rss_before kB -> $rss_after kB"
[ "$fds_after" -eq "$fds_before" ] && pass "descriptors: $fds_after, as after the warm-up" ||
  fail "descriptors: $fds_before after the warm-up, $fds_after after the sessions"
[ "$rss_after" -le $((rss_before + RSS_SLACK_KB)) ] &&
  pass "VmRSS: $rss_before kB -> $rss_after kB" ||
  fail "VmRSS grew from $rss_before kB to $rss_after kB (slack $RSS_SLACK_KB kB)"

close_and_expect_exit "$window" "after the soak"
finish
