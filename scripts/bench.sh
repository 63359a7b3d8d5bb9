#!/usr/bin/env bash
# Builds the benchmarks optimised and without sanitizers into build/bench and
# runs them.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMERIDIAN_SANITIZE=OFF -DMERIDIAN_TESTS=OFF \
  -DMERIDIAN_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target transport_bench
"$build/bench/transport_bench" "$@"
