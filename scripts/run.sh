#!/usr/bin/env bash
# Builds and runs the program with lightsend playing a light pattern into it,
# so that the lamps move. On a machine without a display it runs on a
# virtual one, saves a screenshot, says where, and stops by itself.
#
#   scripts/run.sh                  the Linux program, emulation mode
#   scripts/run.sh -p 378           the Linux program driving the port at 378
#   scripts/run.sh --windows        the Windows program under Wine
#   scripts/run.sh --windows -p 378 the same with a port address
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_missing_packages

if [ "${1:-}" = "--windows" ]; then
  shift
  exec bash scripts/run-windows.sh "$@"
fi
exec bash scripts/run-linux.sh "$@"
