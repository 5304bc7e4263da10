#!/usr/bin/env bash
# Start-up's port work as a user without rights to the ports (nobody, no
# groups, no capabilities): one warning box naming the address, then the
# emulation mode (PortBase 0) for the rest of the run, no crash, exit code 0.
#
#   no_access_linux.sh <port_start or another program taking -p|-P <address> [line...]>
set -uo pipefail
program=$1

[ "$(id -u)" -eq 0 ] || { echo "skipped: only root can become nobody here"; exit 77; }
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
caps=$("${as_nobody[@]}" grep '^CapEff' /proc/self/status | tr -d '[:space:]')
[ "$caps" = "CapEff:0000000000000000" ] || { echo "FAIL: nobody keeps capabilities: $caps"; exit 1; }

# A copy that nobody may run, whatever the build folder's permissions.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$program" "$work/"
program="$work/$(basename "$program")"
# The same for a sanitizer's suppressions (a tree under /root is closed to nobody).
if [[ ${TSAN_OPTIONS:-} =~ suppressions=([^ ]+) ]]; then
  cp "${BASH_REMATCH[1]}" "$work/tsan.supp"
  TSAN_OPTIONS=${TSAN_OPTIONS/${BASH_REMATCH[1]}/$work/tsan.supp}
fi

# case | arguments | what the one box must start with ("" for no box)
no_access="BOX 30 Pipe Server Vantrelle: No access to the parallel port at"
cases=(
  "lamp lines|-p 378 >5L1234 >3L00FF|$no_access 378."
  "hardware test asked|-P 3bc >5L1234|$no_access 3BC."
  "high address|-p D010 >5L1234|$no_access D010."
  "emulation mode|-P 0 >5L1234|"
)

failed=0
for line in "${cases[@]}"; do
  IFS='|' read -r name arguments box <<<"$line"
  read -r -a args <<<"$arguments"
  out=$(cd "$work" && timeout 30 "${as_nobody[@]}" "$program" "${args[@]}" 2>&1)
  rc=$?
  boxes=$(grep -c '^BOX ' <<<"$out")
  others=$(grep -v '^BOX ' <<<"$out")
  problems=()
  [ "$rc" -eq 0 ] || problems+=("exit code $rc")
  if [ -n "$box" ]; then
    [ "$boxes" -eq 1 ] || problems+=("$boxes boxes, not one")
    [[ "$(grep '^BOX ' <<<"$out")" == "$box"* ]] || problems+=("the box does not start with: $box")
  else
    [ "$boxes" -eq 0 ] || problems+=("$boxes boxes, not none")
  fi
  [ "$others" = $'PortBase=0\nPortBase=0' ] || problems+=("PortBase not 0 before and after the lines")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "checked $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name: $(IFS=';'; echo "${problems[*]}")"
    echo "--- output"; echo "$out"
  fi
done
echo "$failed of ${#cases[@]} cases failed"
[ "$failed" -eq 0 ]
