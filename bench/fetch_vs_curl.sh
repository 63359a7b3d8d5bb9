#!/usr/bin/env bash
# meridian-fetch against curl, one run: nginx on a loopback port serves
#   1. a 1 GiB file with Content-Length, downloaded to /dev/null,
#   2. a small file fetched 1000 times over one kept-alive connection,
#   3. the small file fetched once (best of several runs).
# With --https the same goes over TLS: nginx gets a certificate made here with
# the openssl command, which both clients trust through --cacert (they use the
# same OpenSSL), and the single fetch includes the handshake.
# Reports throughput, requests per second, wall time and peak memory (maximum
# resident set) of both, and meridian-fetch's share of curl's figure. Each
# figure is the best of several runs, since other work on the machine only
# ever slows a run down.
# meridian-fetch is built without sanitizers (Release) into build/bench.
# Usage: bench/fetch_vs_curl.sh [--https]   (as root on Debian 12 it installs what is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/fetch/nginx_conf.sh
source tests/fetch/peers.sh

https=false
[[ ${1:-} == --https ]] && https=true

missing=()
[[ -x /usr/sbin/nginx ]] || command -v nginx >/dev/null || missing+=(nginx)
command -v curl >/dev/null || missing+=(curl)
$https && ! command -v openssl >/dev/null && missing+=(openssl)
[[ -x /usr/bin/time ]] || missing+=(time)
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMERIDIAN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target meridian-fetch >/dev/null
fetch=$PWD/$build/tools/fetch/meridian-fetch

work=$(mktemp -d)
nginx_pid=
cleanup() {
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

read -r port tls_port < <(free_ports 2)
mkdir -p "$work/www" "$work/nginx"
truncate -s 1G "$work/www/big.bin"
head -c 512 /dev/urandom >"$work/www/small.bin"
# With --https nginx listens with TLS on a second port beside the plain one.
tls_server=
if $https; then
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$work/server.key" \
    -out "$work/server.pem" -subj /CN=localhost -days 2 -addext subjectAltName=DNS:localhost,IP:127.0.0.1 2>/dev/null
  tls_server="
    listen 127.0.0.1:$tls_port ssl;
    ssl_certificate $work/server.pem;
    ssl_certificate_key $work/server.key;"
  base=https://localhost:$tls_port
  ca=(--cacert "$work/server.pem")
else
  base=http://127.0.0.1:$port
  ca=()
fi
nginx_conf "$work/nginx" "$port" "$work/www" "
  access_log off;
  sendfile on;
  keepalive_timeout 60;
  keepalive_requests 100000;" "$tls_server"
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
for _ in $(seq 1 100); do
  curl -s -o /dev/null "${ca[@]}" "$base/small.bin" && break
  sleep 0.1
done
# The big file once through the page cache before either client reads it.
curl -s -o /dev/null "${ca[@]}" "$base/big.bin"

# measure COMMAND...: sets wall (seconds, to the microsecond) and rss (KiB)
# of one run.
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
    echo "failed: $*"
    cat "$work/err"
    exit 1
  }
  end=$(date +%s%N)
  wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", (b - a) / 1e9 }')
  read -r rss <"$work/time"
}

big=$base/big.bin
small=$base/small.bin
urls=()
for _ in $(seq 1 1000); do urls+=("$small"); done

best() {  # best of N runs of a command: sets wall and rss
  local n=$1 best_wall=999999 best_rss=0
  shift
  for _ in $(seq 1 "$n"); do
    measure "$@"
    if awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$wall; best_rss=$rss; fi
  done
  wall=$best_wall
  rss=$best_rss
}

row() {  # row LABEL UNIT OURS THEIRS
  printf '%-28s %14s %14s %8s\n' "$1" "$3" "$4" "$(awk -v a="$3" -v b="$4" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
}

best 3 "$fetch" -s -o /dev/null "${ca[@]}" "$big"
ours_big_wall=$wall ours_big_rss=$rss
best 3 curl -s -o /dev/null "${ca[@]}" "$big"
curl_big_wall=$wall curl_big_rss=$rss

best 5 "$fetch" -s -o /dev/null "${ca[@]}" "${urls[@]}"
ours_many_wall=$wall ours_many_rss=$rss
best 5 curl -s -o /dev/null "${ca[@]}" "${urls[@]}"
curl_many_wall=$wall curl_many_rss=$rss

best 10 "$fetch" -s -o /dev/null "${ca[@]}" "$small"
ours_one_wall=$wall ours_one_rss=$rss
best 10 curl -s -o /dev/null "${ca[@]}" "$small"
curl_one_wall=$wall curl_one_rss=$rss

mib_s() { awk -v w="$1" 'BEGIN { printf "%.0f", (w > 0 ? 1024 / w : 0) }'; }
req_s() { awk -v w="$1" 'BEGIN { printf "%.0f", (w > 0 ? 1000 / w : 0) }'; }
kib_to_mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

printf '%-28s %14s %14s %8s\n' "" "meridian-fetch" "curl" "ratio"
row "1 GiB download (MiB/s)" "" "$(mib_s "$ours_big_wall")" "$(mib_s "$curl_big_wall")"
row "  peak memory (MiB)" "" "$(kib_to_mib "$ours_big_rss")" "$(kib_to_mib "$curl_big_rss")"
row "1000 GETs, one conn (req/s)" "" "$(req_s "$ours_many_wall")" "$(req_s "$curl_many_wall")"
row "  peak memory (MiB)" "" "$(kib_to_mib "$ours_many_rss")" "$(kib_to_mib "$curl_many_rss")"
row "one small GET (ms)" "" "$(awk -v w="$ours_one_wall" 'BEGIN { printf "%.1f", w * 1000 }')" "$(awk -v w="$curl_one_wall" 'BEGIN { printf "%.1f", w * 1000 }')"
row "  peak memory (MiB)" "" "$(kib_to_mib "$ours_one_rss")" "$(kib_to_mib "$curl_one_rss")"
echo "(ratio: meridian-fetch / curl; for throughput and req/s higher is better, for time and memory lower)"
