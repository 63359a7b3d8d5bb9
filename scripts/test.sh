#!/usr/bin/env bash
# Builds everything with AddressSanitizer, UndefinedBehaviorSanitizer and
# warnings as errors, then runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build/test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMERIDIAN_SANITIZE=ON -DMERIDIAN_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300

# The release tree as users get it: install, the CMake package, pkg-config and
# the Debian packages.
scripts/package-check.sh

# The Windows leg: both Windows builds cross-compiled, the x86_64 suite and
# the real-peer comparison under Wine, with this build's meridian-fetch as
# the reference.
windows_started=$SECONDS
scripts/windows-test.sh "$build/tools/fetch/meridian-fetch"
echo "test.sh: the Windows leg took $((SECONDS - windows_started)) s"
