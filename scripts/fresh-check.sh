#!/usr/bin/env bash
# The README's two commands as a new user meets them: a bare Debian 12 root
# made by mmdebstrap from Debian's packages, a clean clone of this tree's
# last commit in it, then `bash scripts/run.sh` and `bash scripts/test.sh`
# run there as root, each timed, with the number of packages it installed.
# Not part of the test command: it downloads a system (about 3 GB with
# everything test.sh installs) and takes most of an hour.
#
#   bash scripts/fresh-check.sh [run] [test]   (default: both, in that order)
#   FRESH_ROOT=DIR   where the root goes (default /var/tmp/pipeserver-fresh;
#                    made anew each time)
#
# Each command runs chrooted in a mount namespace of its own, with /proc,
# /sys, /dev and an empty /tmp; the network is the host's, for apt.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh: needs root (mmdebstrap, chroot)" >&2; exit 2; }
commands=("$@")
[ ${#commands[@]} -gt 0 ] || commands=(run test)
for c in "${commands[@]}"; do
  case $c in run | test) ;; *) echo "usage: scripts/fresh-check.sh [run] [test]" >&2; exit 2 ;; esac
done
if ! command -v mmdebstrap >/dev/null; then
  echo "Installing mmdebstrap"
  apt-get update -qq || true  # One stale index must not stop this one package.
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq mmdebstrap >/dev/null
fi

root=${FRESH_ROOT:-/var/tmp/pipeserver-fresh}
# Whatever an interrupted run left mounted goes first.
grep -o " $root/[^ ]*" /proc/mounts | sort -r | xargs -r -n1 umount -l 2>/dev/null || true
rm -rf "$root"

start=$(date +%s)
echo "=== a bare Debian 12 root in $root"
mmdebstrap --quiet --variant=minbase bookworm "$root" \
  "deb http://deb.debian.org/debian bookworm main" \
  "deb http://deb.debian.org/debian bookworm-updates main" \
  "deb http://deb.debian.org/debian-security bookworm-security main"
echo "made in $(($(date +%s) - start)) s"
# What is committed, as a clone has it: nothing of this work tree's builds.
git clone --quiet --no-hardlinks "$PWD" "$root/root/pipeserver"

installed() { chroot "$root" dpkg-query -W -f='${db:Status-Status}\n' | grep -c '^installed$'; }

# in_root COMMAND: runs it in the root, as a login shell of root would.
in_root() {
  unshare --mount --fork bash -euc '
    root=$1; shift
    # A mount point as a machine'"'"'s / is one: unshare --mount in the tests
    # makes / private, which fails on a plain folder.
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    mount -t tmpfs tmpfs "$root/run"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    exec chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "cd /root/pipeserver && $*"' _ "$root" "$@"
}

failed=0 summary=()
for c in "${commands[@]}"; do
  before=$(installed)
  echo "=== bash scripts/$c.sh"
  t0=$(date +%s) code=0
  in_root "bash scripts/$c.sh" </dev/null || code=$?
  seconds=$(($(date +%s) - t0))
  summary+=("bash scripts/$c.sh: exit $code after $seconds s; it installed $(($(installed) - before)) packages")
  [ "$code" -eq 0 ] || failed=1
done
[ -f "$root/root/pipeserver/build/linux/screenshot-linux.png" ] &&
  summary+=("screenshot: $root/root/pipeserver/build/linux/screenshot-linux.png")
echo "=== fresh-check on $(date -u +%Y-%m-%d)"
printf '%s\n' "${summary[@]}"
exit $failed
