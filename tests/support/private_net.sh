#!/usr/bin/env bash
# Runs a command in a network namespace of its own, where the abstract
# socket "tormelin" belongs to it alone: the name is global per namespace,
# and other test runs on this machine serve it too. The one way every Linux
# test (and scripts/run.sh) keeps the name private; PIPESERVER_PRIVATE_NET=1
# tells the command that it is inside.
#
#   tests/support/private_net.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${PIPESERVER_PRIVATE_NET:-}" = 1 ]; then exec "$@"; fi
if ! unshare --net true 2>/dev/null; then
  echo "error: cannot make a private network namespace (unshare --net needs root);" \
       "the socket name \"tormelin\" would be shared with every other run" >&2
  exit 1
fi
export PIPESERVER_PRIVATE_NET=1
exec unshare --net -- "$@"
