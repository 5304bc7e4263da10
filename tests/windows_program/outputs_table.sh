#!/usr/bin/env bash
# One share of the outputs' bad-input table (Outputs.BadInputTable with
# OUTPUTS_SHARE=SHARE, "i/n"), in a Wine prefix and on a display of its own:
# each row starts pipeserver.exe, which serves the one pipe name and finds
# its window by class, so rows can only run side by side in separate Wine
# servers. A row mostly waits on Wine, so the shares run beside each other
# and beside the suite's other tests.
# Needs: DRIVER (win_driver.exe), SHARE, WINEPREFIX (the build's prefix,
# copied once into the share's own), and the driver's environment.
SHARED_NET=1 source "$(dirname "$0")/../support/lib.sh"  # The pipe is the Wine server's.
source "$(dirname "$0")/../../scripts/deps.sh"           # wine_loader_for

build_prefix=$WINEPREFIX
export WINEPREFIX="$build_prefix-table-${SHARE%/*}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Made once and kept, as the build's own is: a copy of the build's prepared
# prefix costs a few seconds, a new one half a minute of processor.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX" "$WINEPREFIX.part"
  if [ -f "$build_prefix/system.reg" ]; then
    cp -a "$build_prefix" "$WINEPREFIX.part" && mv "$WINEPREFIX.part" "$WINEPREFIX"
  else
    LIMIT=180 bounded wineboot -i >/dev/null 2>&1 || true
  fi
fi
loader=$(wine_loader_for "$DRIVER")
start_xvfb
stop_wineserver() { wineserver -k >/dev/null 2>&1 || true; }
stop_wineserver  # One left by an interrupted run would serve its dead display.
trap 'stop_wineserver; cleanup' EXIT
# Wine's own services, started now with their output away from CTest's
# pipes (see prepare_wine in scripts/deps.sh).
wineserver -p >/dev/null 2>&1 || true
LIMIT=60 bounded "$loader" cmd /c exit >/dev/null 2>&1 </dev/null || true

code=0
OUTPUTS_SHARE=$SHARE "$loader" "$DRIVER" --gtest_filter=Outputs.BadInputTable </dev/null || code=$?
exit "$code"
