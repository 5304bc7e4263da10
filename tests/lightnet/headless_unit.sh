#!/usr/bin/env bash
# The user service the Debian package ships for the program without a
# window, and the desktop entry's action: systemd-analyze verifies the unit
# (its ExecStart pointed at this build); the unit's command, with the
# shipped example of the outputs file (its WLED strip moved to loopback),
# drives a WLED receiver with no display and ends on SIGTERM with the strip
# handed back; the desktop action starts the window with the same outputs.
source "$(dirname "$0")/../support/lib.sh"
HERE=$(cd "$(dirname "$0")" && pwd)
PACKAGING="$HERE/../../packaging/debian"
export LIMIT=10
ip link set lo up

# --- the unit verifies ------------------------------------------------------
if ! command -v systemd-analyze >/dev/null; then
  fail "systemd-analyze is not installed (package systemd): the unit cannot be verified"
else
  mkdir -m 700 "$WORK/runtime"
  sed "s|/usr/bin/pipeserver|$PIPESERVER|" "$PACKAGING/pipeserver.service" >"$WORK/pipeserver.service"
  status=0
  XDG_RUNTIME_DIR="$WORK/runtime" systemd-analyze verify --user --man=no "$WORK/pipeserver.service" \
    >"$WORK/verify.out" 2>&1 || status=$?
  check_equal "systemd-analyze verify --user: status, and what it says" "$status $(cat "$WORK/verify.out")" "0 "
fi

# --- the unit's command with the example outputs --------------------------
home="$WORK/home"
mkdir -p "$home/.config/pipeserver"
sed 's/192\.168\.1\.50/127.0.0.1/' "$PACKAGING/outputs.example" >"$home/.config/pipeserver/outputs"
# systemd reads KEY="VALUE" lines as the shell does, and splits an unquoted
# $VAR of ExecStart at blanks.
exec_start=$(sed -n 's/^ExecStart=//p' "$PACKAGING/pipeserver.service")
check_that "the unit's command names the environment file's variable" grep -q ' \$PIPESERVER_OUTPUTS$' <<<"$exec_start"
command_line=$(set -a; PIPESERVER_PORT=; source "$home/.config/pipeserver/outputs"; eval "echo ${exec_start/\/usr\/bin\/pipeserver/$PIPESERVER}")
start_peer pixels python3 "$HERE/pixel_receiver.py" --pixels 480 --seconds 20
# shellcheck disable=SC2086 # Words, as systemd splits them.
env -u DISPLAY HOME="$home" $command_line >"$WORK/program.out" 2>&1 &
PROGRAM_PID=$!
started "$PROGRAM_PID"
wait_until 5 grep -q '^pipeserver: listening on @tormelin, no window$' "$WORK/program.out" ||
  fail "no line saying it listens"
bounded "$LIGHTSEND" '>5L8001'
sleep 0.3
stop_headless "the unit's command"
peer_done pixels || true
python3 - "$WORK/pixels.out" <<'PY' && pass "the example's strip: 30 amber LEDs a lamp, handed back at the end" ||
import json, sys
wled = json.load(open(sys.argv[1]))["wled"]
want = ["000000"] * 480
for lamp in (0, 15):
    want[lamp * 30:lamp * 30 + 30] = ["ffa000"] * 30
faults = []
if "".join(want) not in wled["frames"]:
    faults.append("no frame with lamps 0 and 15 lit")
if not wled["packets"] or wled["packets"][-1]["timeout"] != 0:
    faults.append("not handed back last")
if faults: print("\n".join(faults))
sys.exit(1 if faults else 0)
PY
  fail "the example's strip"

# --- the desktop entry's action ---------------------------------------------
start_xvfb
mkdir -p "$WORK/bin"
ln -s "$PIPESERVER" "$WORK/bin/pipeserver"
# The Exec value as a desktop reads it: the string's escapes, then the
# quoting rules of the desktop entry format's Exec key.
mapfile -t argv < <(python3 - "$PACKAGING/pipeserver.desktop" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
action = text[text.index("[Desktop Action with-outputs]"):]
value = re.search(r"^Exec=(.*)$", action, re.M).group(1).replace("\\\\", "\\")
# Words apart at blanks; in double quotes a backslash escapes " ` $ and itself.
words, word, quoted, i = [], None, False, 0
while i < len(value):
    c = value[i]
    if quoted and c == "\\" and value[i + 1] in '"`$\\':
        word, i = word + value[i + 1], i + 2
        continue
    if c == '"':
        quoted, word = not quoted, word or ""
    elif c == " " and not quoted:
        if word is not None: words.append(word)
        word = None
    else:
        word = (word or "") + c
    i += 1
if word is not None: words.append(word)
print("\n".join(words))
PY
)
# desktop_action HOME WHAT: the action's words run with that home; sets window.
desktop_action() {
  HOME="$1" PATH="$WORK/bin:$PATH" "${argv[@]}" >>"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  started "$PROGRAM_PID"
  window=$(wait_window 'Pipe Server Vantrelle \(p:0\)' 10) || fail "$2 shows no window"
}
desktop_action "$home" "the desktop action"
check_equal "the desktop action: the program's words" "$(tr '\0' ' ' </proc/$PROGRAM_PID/cmdline | sed 's/^[^ ]* //')" \
  "--wled 127.0.0.1 --pixels-per-lamp 30 --color ffa000 "
[ -n "${window:-}" ] && close_and_expect_exit "$window" "the desktop action"
# Without the file: the window all the same, with no outputs.
desktop_action "$WORK/nobody" "the desktop action without the file"
[ -n "${window:-}" ] && close_and_expect_exit "$window" "the desktop action without the file"
finish
