#!/usr/bin/env bash
# Makes the release packages: the Debian package of the Linux programs and a
# ZIP for each Windows bitness, from Release builds of their own
# (build/package-linux, build/package-win64, build/package-win32), into
# build/packages/. Builds only what the packages carry.
#   scripts/package.sh [linux] [win64] [win32]    (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

out=build/packages
mkdir -p "$out"

# package NAME PRESET [cmake options]: the preset's compilers and settings,
# in a build directory of its own, as a stripped Release build.
package() {
  local name=$1 preset=$2 dir=build/package-$1
  shift 2
  echo "=== package $name: configure ($preset, Release)"
  cmake --preset "$preset" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DPIPESERVER_RELEASE=ON -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
  echo "=== package $name: build"
  cmake --build "$dir" --target release_files -j2
  echo "=== package $name: cpack"
  rm -rf "$dir/packages"
  (cd "$dir" && cpack -B "$PWD/packages" >/dev/null)
  find "$dir/packages" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.zip' \) \
    -exec cp {} "$out/" \; -exec sh -c 'echo "made $(basename "$1"): $(stat -c %s "$1") bytes"' _ {} \;
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(linux win64 win32)
# The Windows packages are built with the cross compilers; each needs its own.
jobs=(linux package)
for t in "${targets[@]}"; do
  case $t in win64) jobs+=(windows) ;; win32) jobs+=(windows win32) ;; esac
done
require_jobs "${jobs[@]}"
for t in "${targets[@]}"; do
  case $t in
    linux)
      # Debian's hardening flags, as a Debian build would use them.
      export DEB_BUILD_MAINT_OPTIONS=hardening=+all
      package linux linux \
        "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" ;;
    win64) package win64 windows ;;
    win32) package win32 windows-x86 ;;
    *) echo "usage: scripts/package.sh [linux] [win64] [win32]" >&2; exit 2 ;;
  esac
done
ls -l "$out"
