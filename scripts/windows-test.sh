#!/usr/bin/env bash
# The Windows leg: cross-builds with mingw-w64 and runs the tests under Wine.
#   x86_64 (the test build): the whole suite, under the build machine's
#     64-bit Wine through CTest, then meridian-fetch.exe against real servers
#     on loopback, compared with the Linux build.
#   i686 (the shipping build): meridian.exe and meridian-fetch.exe, static,
#     compiled and linked only. This machine's Wine runs 32-bit programs
#     wrongly and still exits with 0, so no such run would count.
# Usage: scripts/windows-test.sh [LINUX_MERIDIAN_FETCH]
# The Linux meridian-fetch (default build/test/tools/fetch/meridian-fetch) is
# the reference for the real-peer comparison; without it, curl is.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
linux_fetch=${1:-build/test/tools/fetch/meridian-fetch}
# Unoptimised and without debug information: the tests' build time is what
# counts here. No sanitizers exist for this target.
win_flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g0" "-DCMAKE_C_FLAGS_DEBUG=-O0 -g0"
  -DMERIDIAN_WERROR=ON)

build64=build/win-x86_64
build32=build/win-i686
started=$SECONDS

cmake -S . -B "$build64" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake "${win_flags[@]}" >/dev/null
cmake --build "$build64" -j"$jobs"
echo "windows-test: x86_64 built after $((SECONDS - started)) s"

cmake -S . -B "$build32" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DMERIDIAN_WERROR=ON -DMERIDIAN_TESTS=OFF >/dev/null
cmake --build "$build32" -j"$jobs" --target meridian meridian-fetch
echo "windows-test: i686 built after $((SECONDS - started)) s"

# Wine: a prefix of this run's own, no display, no debug output, one
# persistent server for all the tests (else each start costs seconds).
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/meridian-wine.XXXXXX)
export WINEDEBUG=-all
# No prompts to install the browser and .NET runtimes into the new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  # Only this prefix's server.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
"$wineserver" -p
# The first program of a new prefix sets it up; without this the first
# test discovery would hang until its time-out.
"$wine64" cmd /c exit 0 >/dev/null 2>&1 || true
echo "windows-test: Wine ready after $((SECONDS - started)) s"

ctest --test-dir "$build64" --no-tests=error --output-on-failure -j"$jobs" --timeout 300
echo "windows-test: x86_64 suite passed after $((SECONDS - started)) s"

# The reference: the Linux build when there is one, else curl (which the
# Linux build matches in its own run of the same script).
reference=curl
[[ -x $linux_fetch ]] && reference=$linux_fetch
fetch_exe=$(pwd)/$build64/tools/fetch/meridian-fetch.exe
wrapper=$WINEPREFIX/meridian-fetch
printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$wine64" "$fetch_exe" >"$wrapper"
chmod +x "$wrapper"
tests/fetch/real_peers.sh "$wrapper" "$reference"
echo "windows-test: real peers passed after $((SECONDS - started)) s"
