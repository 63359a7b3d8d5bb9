#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with Clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build/fuzz, then runs each for a while.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS is the run time of each target (default 60); without TARGETs every
# *_fuzzer target runs. Each target starts from the seeds in fuzz/corpus/<target>
# and keeps what it learns in build/fuzz/corpus/<target>; a finding stops that
# target and leaves its input as build/fuzz/findings/<target>/crash-* (or
# leak-*, timeout-*). The script ends with a line per target: its run count
# and whether it found anything; the exit status is 1 when any target did.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  if command -v apt-get >/dev/null; then
    apt-get install -y clang libclang-rt-14-dev >/dev/null
  fi
fi

build=build/fuzz
CXX=${CXX:-clang++} cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERIDIAN_FUZZ=ON \
  -DMERIDIAN_SANITIZE=ON -DMERIDIAN_TESTS=OFF >/dev/null
if [ $# -eq 0 ]; then
  cmake --build "$build" -j"$(nproc)"
  mapfile -t targets < <(find "$build/fuzz" -maxdepth 1 -type f -name '*_fuzzer' -executable -printf '%f\n' | sort)
else
  targets=("$@")
  cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
summary=()
status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
  log="$build/$target.log"
  echo "== $target: $seconds s"
  if "$build/fuzz/$target" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1; then
    result=clean
  else
    result="FINDING (see $log)"
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  summary+=("$target: $runs runs, $result")
done
printf '%s\n' "${summary[@]}"
exit $status
