#!/usr/bin/env bash
# Runs a program built with the real Windows port back end under Wine, once
# per case, in a folder whose contents are the case (the driver stand-in
# beside the .exe, a variant of it, or nothing), and compares the log that
# the driver stand-in and the box stand-in write ($PORT_TEST_LOG) with
# expected/<case>.log, and the program's output and exit code.
#
#   check_port_win.sh <wine> <build folder of tests/port> <expected folder>
#
# PORT_PROGRAM names the .exe in each folder (default port_start.exe): any
# program that takes "-p|-P <address>" and then light lines, and logs its
# boxes as the fake UI prints them, can be checked the same way.
# PORT_DRIVER_DLL is the driver's file name for this build (inpoutx64.dll).
set -uo pipefail
wine=$1 root=$2 expected=$3
program=${PORT_PROGRAM:-port_start.exe}
dll=${PORT_DRIVER_DLL:-inpoutx64.dll}

# case | folder of the .exe | folder to run in | environment | arguments | PortBase after start-up
cases=(
  "driver_hardware_test|driver|driver|FAKE_INPOUT_READ=E1|-P 378 >3L1234 >5L1234|378"
  "driver_other_control_bits|driver|driver|FAKE_INPOUT_READ=2B|-p 3bc >5LA55A >3L00FF|3BC"
  "driver_high_address|driver|driver|FAKE_INPOUT_READ=04|-p D010 >5L0180|D010"
  "old_driver_without_question|old_driver|old_driver|FAKE_INPOUT_READ=E1|-p 378 >3L1234|378"
  "driver_not_running|driver|driver|FAKE_INPOUT_DRIVER_CLOSED=1|-P 378 >5L1234|0"
  "bad_driver_without_out32|bad_driver|bad_driver|FAKE_INPOUT_READ=E1|-p 378 >5L1234|0"
  "no_driver_probe_refused|no_driver|no_driver||-P 378 >5L1234|0"
  "no_driver_dll_only_in_current_folder|no_driver|driver|FAKE_INPOUT_READ=E1|-p 378 >5L1234|0"
  "emulation_mode|driver|driver|FAKE_INPOUT_READ=E1|-P 0 >5L1234|0"
)

windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }

failed=0
fail() { echo "FAIL $1: $2"; failed=$((failed + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for line in "${cases[@]}"; do
  IFS='|' read -r name folder cwd environment arguments portBase <<<"$line"
  read -r -a args <<<"$arguments"
  log="$work/$name.log"
  out=$(cd "$root/$cwd" && env PORT_TEST_LOG="$(windows_path "$log")" $environment \
        timeout 60 "$wine" "$root/$folder/$program" "${args[@]}" 2>"$work/$name.err" | tr -d '\r')
  rc=${PIPESTATUS[0]}
  touch "$log"
  sed -i 's/\r$//' "$log"  # Text-mode files on Windows end their lines with CR LF.

  # The expected log, with what depends on this build and this folder filled in.
  sed -e "s|@DLL@|$dll|g" -e "s|@EXE@|$program|g" \
      -e "s|@FOLDER@|$(windows_path "$root/$folder/" | sed 's/\\/\\\\/g')|g" \
      "$expected/$name.log" >"$work/$name.expected"

  [ "$rc" -eq 0 ] || fail "$name" "exit code $rc (stderr: $(head -c 300 "$work/$name.err"))"
  if ! diff -u "$work/$name.expected" "$log" >"$work/$name.diff"; then
    fail "$name" "log differs from expected/$name.log:"
    cat "$work/$name.diff"
  fi
  # Every box that was logged was also shown, and nothing else but PortBase.
  wanted=$(grep '^BOX ' "$work/$name.expected"; echo "PortBase=$portBase"; echo "PortBase=$portBase")
  [ "$out" = "$wanted" ] || fail "$name" "output differs:"$'\n'"--- expected"$'\n'"$wanted"$'\n'"--- got"$'\n'"$out"
  echo "checked $name"
done

echo "$failed of ${#cases[@]} cases failed"
[ "$failed" -eq 0 ]
