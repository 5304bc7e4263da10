#!/usr/bin/env bash
# Checks the release packages as a user gets them (scripts/package.sh makes
# them):
#   the Debian package: lintian and desktop-file-validate find no error; it
#     installs with dpkg -i into a root of its own (an overlay of this system
#     in a private mount and network namespace, so nothing here changes), its
#     programs start there (pipeserver's window on a private X display), and
#     it removes cleanly;
#   each Windows ZIP: it unpacks into one folder with the programs of its
#     bitness and a README.txt with Windows line ends, the programs import
#     system DLLs only, and pipeserver.exe started under Wine from the
#     unpacked folder shows its window.
#   tests/package/check_packages.sh [PACKAGE_DIR]    (default build/packages)
# (lib.sh's checks; errexit off: every check runs, whatever came before.)
SHARED_NET=1 source "$(dirname "$0")/../support/lib.sh"
set +e
TITLE="Pipe Server Vantrelle (p:0)" TITLE_RE='Pipe Server Vantrelle \(p:0\)'
skips=0
skip() { echo "SKIP $*"; skips=$((skips + 1)); }  # Counted apart: never a pass.

# --- Inside the fresh root (run by the part below, as PID 1 of its own
# namespaces, with / already the overlay) ---------------------------------
if [ "${1:-}" = "--in-root" ]; then
  deb=$2 with_lightbeat=$3
  mount -t proc proc /proc
  check_that "before: no pipeserver in the fresh root" test ! -e /usr/bin/pipeserver
  # man-db's trigger would rebuild the whole manual index, a minute of CPU
  # that checks nothing of ours.
  rm -f /var/lib/man-db/auto-update
  if dpkg -i "$deb" >/tmp/dpkg.log 2>&1; then
    pass "dpkg -i $(basename "$deb")"
  else
    fail "dpkg -i $(basename "$deb")"; cat /tmp/dpkg.log
  fi
  programs=(pipeserver lightsend)
  [ "$with_lightbeat" = yes ] && programs+=(lightbeat)
  for p in "${programs[@]}"; do
    check_that "/usr/bin/$p installed, on PATH" test "$(command -v "$p")" = "/usr/bin/$p"
    check_that "man page of $p" test -s "/usr/share/man/man1/$p.1.gz"
  done
  check_that "desktop entry valid where it is installed" \
    desktop-file-validate /usr/share/applications/pipeserver.desktop
  check_that "the example outputs file of the user service" test -s /usr/share/doc/pipeserver/examples/outputs
  if command -v systemd-analyze >/dev/null; then
    mkdir -m 700 /tmp/runtime
    out=$(XDG_RUNTIME_DIR=/tmp/runtime systemd-analyze verify --user --man=no \
      /usr/lib/systemd/user/pipeserver.service 2>&1); rc=$?
    check_equal "the user service verifies where it is installed: status, and what it says" "$rc $out" "0 "
  else
    skip "the user service is not verified: no systemd-analyze in the fresh root"
  fi
  check_that "the desktop entry's icon in hicolor (48x48)" \
    test -s /usr/share/icons/hicolor/48x48/apps/pipeserver.png
  for p in "${programs[@]:1}"; do  # The clients.
    out=$("$p" --help 2>&1); rc=$?
    check_that "$p --help: exit 0 and a usage text" test "$rc" = 0 -a -n "$(grep -i usage <<<"$out")"
  done
  # --version: the package's own version and the licence, on every program.
  version=$(dpkg-query -W -f='${Version}' pipeserver)
  for p in "${programs[@]}"; do
    out=$("$p" --version 2>&1); rc=$?
    check_equal "$p --version" "$rc $out" "0 $p $version (Pipe Server Vantrelle)
MIT licence"
  done
  check_that "the copyright file names the MIT licence" \
    grep -q '^License: Expat' /usr/share/doc/pipeserver/copyright
  for part in fltk libola libsndfile pulseaudio; do
    check_that "the copyright file names $part" grep -qiE "^  $part " /usr/share/doc/pipeserver/copyright
  done
  # The desktop entry's command, as a desktop would start it.
  start_xvfb
  exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/pipeserver.desktop)
  $exec_line >/tmp/pipeserver.log 2>&1 &
  server=$!
  if wait_window "$TITLE_RE" 15 >/dev/null; then pass "pipeserver shows its window \"$TITLE\""
  else fail "pipeserver shows its window \"$TITLE\""; cat /tmp/pipeserver.log; fi
  check_that "lightsend reaches the installed pipeserver" lightsend ">5L1234" ">5L0"
  kill "$server" 2>/dev/null; wait "$server" 2>/dev/null
  if dpkg -r pipeserver >/tmp/dpkg.log 2>&1; then pass "dpkg -r pipeserver"
  else fail "dpkg -r pipeserver"; cat /tmp/dpkg.log; fi
  left=$(find /usr/bin/pipeserver /usr/bin/lightsend /usr/bin/lightbeat \
    /usr/share/applications/pipeserver.desktop /usr/share/doc/pipeserver 2>/dev/null)
  check_that "nothing of it left after removal" test -z "$left"
  finish
fi

cd "$(dirname "$0")/../.."
packages=$(realpath "${1:-build/packages}")
work=$(realpath -m build/package-check)
mkdir -p "$work"

# --- The Debian package -------------------------------------------------------
debs=("$packages"/pipeserver_*_amd64.deb)
if [ ! -f "${debs[0]}" ]; then
  fail "a Debian package in $packages (run scripts/package.sh)"
else
  deb=${debs[0]}
  echo "=== $(basename "$deb")"
  lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
  lintian_rc=$?
  grep -v '^running with root privileges' "$work/lintian.txt"
  check_that "lintian: no error" test "$lintian_rc" = 0 -a -z "$(grep '^E:' "$work/lintian.txt")"
  # The licence must reach the package in a form lintian reads (DEP-5).
  check_equal "lintian: no copyright tag" "$(grep -E '^[EWI]: .*copyright' "$work/lintian.txt")" ""

  rm -rf "$work/deb" && dpkg-deb -x "$deb" "$work/deb"
  check_that "desktop-file-validate: no error" \
    desktop-file-validate "$work/deb/usr/share/applications/pipeserver.desktop"
  check_that "the desktop entry is in AudioVideo" \
    grep -qx 'Categories=AudioVideo;' "$work/deb/usr/share/applications/pipeserver.desktop"
  check_that "dependencies declared (shlibdeps)" \
    test -n "$(dpkg-deb -f "$deb" Depends | grep libfltk1.3)"
  with_lightbeat=no
  [ -e "$work/deb/usr/bin/lightbeat" ] && with_lightbeat=yes
  [ $with_lightbeat = yes ] || echo "note: no lightbeat in this package (not in the tree yet)"

  # The root: this system as lower layer, a tmpfs above it that takes every
  # change and goes with the namespace.
  root=$work/root
  mkdir -p "$root"
  unshare --mount --net --pid --fork bash -c '
    set -e
    root=$1; deb=$2; shift 2
    mount -t tmpfs tmpfs "$root"
    mkdir "$root/upper" "$root/work" "$root/merged"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$root/upper,workdir=$root/work" "$root/merged"
    mount --rbind /dev "$root/merged/dev"
    mkdir -p "$root/merged/tmp/package"
    cp "$deb" "$root/merged/tmp/package/"
    cp "$0" "$root/merged/tmp/package/check_packages.sh"
    mkdir -p "$root/merged/tmp/support" && cp "$(dirname "$0")/../support/lib.sh" "$root/merged/tmp/support/"
    mkdir -p "$root/merged/scripts" && cp "$(dirname "$0")/../../scripts/deps.sh" "$root/merged/scripts/"  # lib.sh sources it
    exec chroot "$root/merged" bash /tmp/package/check_packages.sh --in-root \
      "/tmp/package/$(basename "$deb")" "$@"
  ' "$0" "$root" "$deb" "$with_lightbeat"
  root_rc=$?
  if [ "$root_rc" -ne 0 ]; then
    fail "the Debian package in a fresh root (failures above)"
  fi
fi

# --- The Windows ZIPs -------------------------------------------------------
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_started=no
trap '[ "$wine_started" = yes ] && wineserver -k >/dev/null 2>&1; cleanup' EXIT

for bitness in win64 win32; do
  zips=("$packages"/pipeserver-*-"$bitness".zip)
  if [ ! -f "${zips[0]}" ]; then
    fail "a $bitness ZIP in $packages (run scripts/package.sh)"
    continue
  fi
  zip=${zips[0]}
  name=$(basename "$zip" .zip)
  echo "=== $name.zip"
  if [ $bitness = win64 ]; then format=pei-x86-64 port_dll=inpoutx64.dll
  else format=pei-i386 port_dll=inpout32.dll; fi
  dir=$work/$bitness
  rm -rf "$dir" && mkdir -p "$dir"
  check_that "unzip" unzip -q "$zip" -d "$dir"
  folder=$dir/$name
  check_that "one folder, $name" test "$(ls "$dir")" = "$name"
  for f in pipeserver.exe lightsend.exe README.txt; do
    check_that "$f in the ZIP" test -s "$folder/$f"
  done
  readme=$folder/README.txt
  check_that "README.txt: Windows line ends on every line" \
    test "$(tr -cd '\n' <"$readme" | wc -c)" = "$(grep -c $'\r$' "$readme")"
  check_that "README.txt names $port_dll beside pipeserver.exe" grep -q "$port_dll beside pipeserver.exe" "$readme"
  check_that "README.txt names the MIT licence" grep -q "MIT licence" "$readme"
  # No other library is built into the Windows programs: no other licence to carry.
  check_that "README.txt carries no third party's licence" test -z "$(grep -i "kissfft\|BSD-3-Clause" "$readme")"
  for f in "$folder"/*.exe "$folder"/*.dll; do
    [ -e "$f" ] || continue
    base=$(basename "$f")
    check_that "$base is $format" test -n "$(objdump -f "$f" 2>/dev/null | grep "file format $format")"
    # Static builds: a DLL of the compiler's runtime would be missing on
    # the user's system.
    imports=$(objdump -p "$f" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
    check_that "$base imports system DLLs only ($imports)" \
      test -z "$(grep -Eio 'lib[a-z0-9_+-]*\.dll' <<<"$imports")"
    check_that "README.txt says how to use $base" grep -q "$base" "$readme"
  done
  # The players find a plug-in by its file name and this one export.
  for f in "$folder"/vis_*.dll; do
    [ -e "$f" ] || continue
    check_that "$(basename "$f") exports winampVisGetHeader" \
      test -n "$(objdump -p "$f" | grep -w winampVisGetHeader)"
  done

  # pipeserver.exe from the unpacked folder, under Wine on a private display.
  if [ $bitness = win32 ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; then
    skip "$name: pipeserver.exe and lightsend.exe under Wine: wine32:i386 is not installed"
    continue
  fi
  # Some kernels (and sandboxes) run no 32-bit programs: Wine's 32-bit
  # loader is one.
  if [ $bitness = win32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    skip "$name: pipeserver.exe and lightsend.exe under Wine: this machine runs no 32-bit programs (Wine's 32-bit loader does not start)"
    continue
  fi
  # The loader of the ZIP's bitness: Debian's "wine" is the 32-bit one once
  # wine32 is installed.
  loader=$(wine_loader_for "$folder/pipeserver.exe")
  # A display of its own for each ZIP: nothing of the other one's windows.
  start_xvfb
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    "$loader" wineboot -i >/dev/null 2>&1 </dev/null
  fi
  wine_started=yes
  wineserver -p >/dev/null 2>&1
  # Wine's own services now, with their output away from ours.
  "$loader" cmd /c exit >/dev/null 2>&1 </dev/null
  (cd "$folder" && exec "$loader" ./pipeserver.exe >"$dir/pipeserver.log" 2>&1 </dev/null) &
  server=$!
  if wait_window "$TITLE_RE" 30 >/dev/null; then pass "$name: pipeserver.exe under Wine shows \"$TITLE\""
  else fail "$name: pipeserver.exe under Wine shows \"$TITLE\""; cat "$dir/pipeserver.log"; fi
  check_that "$name: lightsend.exe reaches it" \
    bash -c "cd '$folder' && '$loader' ./lightsend.exe '>5L1234' '>5L0' </dev/null >/dev/null 2>&1"
  for p in lightsend lightbeat; do
    [ -e "$folder/$p.exe" ] || continue
    out=$(cd "$folder" && "$loader" ./$p.exe --version </dev/null 2>/dev/null | tr -d '\r')
    zip_version=${name#pipeserver-}
    check_equal "$name: $p.exe --version" "$out" "$p ${zip_version%-win*} (Pipe Server Vantrelle)
MIT licence"
  done
  # Ends every process of this prefix, ours alone.
  wineserver -k >/dev/null 2>&1
  wait "$server" 2>/dev/null
done
echo "package checks: $FAILURES failed, $skips skipped"
finish
