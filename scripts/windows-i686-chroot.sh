#!/usr/bin/env bash
# The shipping (i686) build's own test suite under a 32-bit Wine. This
# machine's Wine runs 32-bit programs wrongly, so the suite runs inside a
# Debian chroot that has wine, wine64 and wine32:i386; the host's package set
# stays as it is. Not part of CI (it downloads about 1.6 GB once).
# Usage: scripts/windows-i686-chroot.sh [CHROOT_FOLDER]
# The chroot (default /var/tmp/meridian-i686-chroot) is made on first use and
# kept for later runs. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."

root=${1:-/var/tmp/meridian-i686-chroot}
source_dir=$(pwd)
build=build/win-i686-tests
started=$SECONDS

if [[ ! -x $root/usr/bin/wine ]]; then
  command -v debootstrap >/dev/null || apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  [[ -x $root/usr/bin/apt-get ]] || debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
  chroot "$root" dpkg --add-architecture i386
  chroot "$root" apt-get update -qq
  # Wine for both widths, CTest, and what the launcher's tests use: bash,
  # Python for the content server, sqlite3, and the 32-bit ODBC with the
  # SQLite driver that the 32-bit Wine forwards to.
  DEBIAN_FRONTEND=noninteractive chroot "$root" apt-get install -y -qq --no-install-recommends \
    wine wine64 wine32:i386 cmake python3 sqlite3 unixodbc:i386 odbcinst libsqliteodbc:i386 >/dev/null
fi
# A kernel built without 32-bit x86 support cannot run the 32-bit Wine at
# all ("Exec format error"): nothing to test there.
if ! chroot "$root" /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "i686-chroot: this kernel cannot run 32-bit x86 programs; skipped" >&2
  exit 77
fi
echo "i686-chroot: chroot ready after $((SECONDS - started)) s"

# Built here with the host's compilers; the tests run inside with its Wine.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Debug \
  "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g0" "-DCMAKE_C_FLAGS_DEBUG=-O0 -g0" -DMERIDIAN_WERROR=ON -DCMAKE_UNITY_BUILD=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/wine >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "i686-chroot: built after $((SECONDS - started)) s"

# The source tree at the same path inside, and the system folders the
# programs need; all unmounted again at the end.
mounts=()
cleanup() {
  set +e
  [[ -n ${WINEPREFIX:-} ]] && chroot "$root" env WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}"; done
  [[ -n ${WINEPREFIX:-} ]] && rm -rf "$root$WINEPREFIX"
}
trap cleanup EXIT
for dir in /proc /dev /sys "$source_dir"; do
  mkdir -p "$root$dir"
  mount --bind "$dir" "$root$dir"
  mounts+=("$root$dir")
done

export WINEPREFIX
WINEPREFIX=$(mktemp -d "$root/tmp/meridian-wine.XXXXXX")
WINEPREFIX=${WINEPREFIX#"$root"}
in_chroot() {
  chroot "$root" env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$WINEPREFIX" WINEARCH=win32 WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}
in_chroot wineserver -p
in_chroot wine cmd /c exit 0 >/dev/null 2>&1 || true
in_chroot ctest --test-dir "$source_dir/$build" --no-tests=error --output-on-failure -j"$(nproc)" --timeout 300
echo "i686-chroot: i686 suite passed after $((SECONDS - started)) s"
