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
# counts here. No sanitizers exist for this target. Unity sources (several
# sources compiled as one) parse the C++ and GoogleTest headers once per
# batch instead of once per source: about 40 % less compile time.
win_flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g0" "-DCMAKE_C_FLAGS_DEBUG=-O0 -g0"
  -DMERIDIAN_WERROR=ON -DCMAKE_UNITY_BUILD=ON)

build64=build/win-x86_64
build32=build/win-i686
started=$SECONDS
elapsed() { echo "windows-test: $1 after $((SECONDS - started)) s"; }

cmake -S . -B "$build64" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake "${win_flags[@]}" >/dev/null
cmake -S . -B "$build32" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DMERIDIAN_WERROR=ON -DMERIDIAN_TESTS=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null

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
build32_pid=
cleanup() {
  [[ -n $build32_pid ]] && kill "$build32_pid" 2>/dev/null && wait "$build32_pid" 2>/dev/null
  # Only this prefix's server.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
"$wineserver" -p
# The first program of a new prefix sets it up; without this the first
# test discovery would hang until its time-out. It runs while the x86_64
# build compiles.
"$wine64" cmd /c exit 0 >/dev/null 2>&1 &
warm_up_pid=$!

cmake --build "$build64" -j"$jobs"
elapsed "x86_64 built"
wait "$warm_up_pid" || true
# The first program of the prefix that uses the component object services
# starts their server and the desktop process; a test that did so would
# wait for them, at times for minutes. One of the built tests does it now.
"$wine64" "$build64/tests/platform/platform_tests.exe" --gtest_filter='WindowsProcess.ComponentObjectServicesBalance' \
  >/dev/null 2>&1 || true
elapsed "Wine ready"

# The i686 build compiles while the tests run under Wine, which mostly wait
# on sockets and time-outs; one job, so that the tests keep a core.
i686_log=$WINEPREFIX/i686-build.log
cmake --build "$build32" -j1 --target meridian meridian-fetch >"$i686_log" 2>&1 &
build32_pid=$!

ctest --test-dir "$build64" --no-tests=error --output-on-failure -j"$jobs" --timeout 300
elapsed "x86_64 suite passed"

# The reference: the Linux build when there is one, else curl (which the
# Linux build matches in its own run of the same script).
reference=curl
[[ -x $linux_fetch ]] && reference=$linux_fetch
fetch_exe=$(pwd)/$build64/tools/fetch/meridian-fetch.exe
wrapper=$WINEPREFIX/meridian-fetch
printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$wine64" "$fetch_exe" >"$wrapper"
chmod +x "$wrapper"
tests/fetch/real_peers.sh "$wrapper" "$reference"
elapsed "real peers passed"

status=0
wait "$build32_pid" || status=$?
build32_pid=
cat "$i686_log"
((status == 0)) || { echo "windows-test: the i686 build failed" >&2; exit "$status"; }
for exe in src/launcher/meridian.exe tools/fetch/meridian-fetch.exe; do
  [[ -s $build32/$exe ]] || { echo "windows-test: $build32/$exe is missing" >&2; exit 1; }
done
echo "windows-test: i686 built; the Windows leg passed in $((SECONDS - started)) s"
