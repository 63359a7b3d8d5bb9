#!/usr/bin/env bash
# The launcher's own time on the demo setup with a local content server: from
# its start to the reader's start (the stand-in reader notes the moment it
# begins), as the median of RUNS runs (default 25). Builds the optimised
# launcher into build/demo and uses the folder build/bench-launcher.
#
#   bench/launcher_bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/demo_setup.sh

runs=${1:-25}
build_launcher
demo=$root/build/bench-launcher
make_demo_folder "$demo"
start_content_server "$demo"

export MERIDIAN_REGISTRY_FILE=$demo/no-registry.ini MERIDIAN_READER_QUIET=1
export MERIDIAN_READER_STARTED=$demo/reader-started
unset DISPLAY WAYLAND_DISPLAY

times=()
for _ in $(seq "$runs"); do
  rm -f "$MERIDIAN_READER_STARTED"
  start=$EPOCHREALTIME
  "$demo/app/meridian"
  # The reader may still be starting when the launcher has ended.
  for _ in $(seq 1000); do [ -s "$MERIDIAN_READER_STARTED" ] && break; sleep 0.01; done
  started=$(<"$MERIDIAN_READER_STARTED")
  times+=("$(awk -v a="$start" -v b="$started" 'BEGIN { printf "%.2f", (b - a) * 1000 }')")
done
stop_content_server

grep -c '"GET /Update/Contents/Update_Contents.txt' "$demo/server.log" |
  xargs printf 'Requests served: %s\n'
printf '%s\n' "${times[@]}" | sort -n | awk -v n="$runs" '
  { t[NR] = $1 }
  END {
    median = (n % 2) ? t[(n + 1) / 2] : (t[n / 2] + t[n / 2 + 1]) / 2
    printf "Launcher start to reader start over %d runs: median %.2f ms (min %.2f, max %.2f)\n", n, median, t[1], t[n]
  }'
