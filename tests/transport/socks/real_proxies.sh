#!/usr/bin/env bash
# Fetches pages from loopback HTTP servers (Python's http.server, and nginx for
# files of every size around the client's buffer sizes) through real SOCKS
# proxies: dante as a SOCKS 4 and SOCKS 5 proxy, microsocks as a SOCKS 5 proxy that asks for a
# user name and password. meridian-fetch must write what curl writes through
# the same proxy and end with the same exit code.
# Usage: real_proxies.sh MERIDIAN_FETCH. Exit 77 (skipped) when a proxy cannot
# be installed.
set -euo pipefail

fetch=$1
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/tests/fetch/boundary_files.sh"
source "$root/tests/fetch/nginx_conf.sh"
source "$root/tests/fetch/peers.sh"

have_all() {
  command -v danted && command -v microsocks && command -v curl && command -v python3 &&
    { command -v nginx || [[ -x /usr/sbin/nginx ]]; }
} >/dev/null
if ! have_all; then
  if [[ $(id -u) -eq 0 ]]; then "$root/scripts/install-deps.sh" >/dev/null 2>&1 || true; fi
  if ! have_all; then
    echo "skipped: danted, microsocks, nginx, curl or python3 cannot be installed"
    exit 77
  fi
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until something listens on the loopback port, at most 10 s.
wait_for_port() {
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  return 1
}

# The site: a small page and a larger binary file.
mkdir "$work/site"
printf 'hello through the proxy\n' >"$work/site/index.html"
head -c 300000 /dev/urandom >"$work/site/big.bin"
boundary_files "$work/site/sizes"

http_port=$(free_port)
(cd "$work/site" && exec python3 -m http.server --bind 127.0.0.1 "$http_port") >"$work/http.log" 2>&1 &
pids+=($!)

# nginx serves the same site for the files of every size.
nginx_port=$(free_port)
mkdir "$work/nginx"
nginx_conf "$work/nginx" "$nginx_port" "$work/site" "access_log off;" ""
"$(command -v nginx || echo /usr/sbin/nginx)" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>>"$work/nginx/error.log" &
pids+=($!)

dante_port=$(free_port)
start_danted danted "$dante_port"

auth_port=$(free_port)
microsocks -i 127.0.0.1 -p "$auth_port" -u fred -P 'se:cret' >"$work/microsocks.log" 2>&1 &
pids+=($!)

wait_for_port "$http_port"
wait_for_port "$nginx_port"
wait_for_port "$dante_port"
wait_for_port "$auth_port"

failures=0
mask_dates() { sed -E 's/^(Date: ).*\r$/\1-\r/' "$1"; }
# check NAME URL OPTION... : the same output and exit code from both clients.
check() {
  local name=$1 url=$2
  shift 2
  local ours theirs
  set +e
  "$fetch" -s "$@" "$url" >"$work/ours" 2>"$work/ours.err"
  ours=$?
  curl -s "$@" "$url" >"$work/theirs" 2>/dev/null
  theirs=$?
  set -e
  if [[ $ours -ne $theirs ]]; then
    echo "FAIL $name: exit code $ours, curl $theirs"
    failures=$((failures + 1))
  elif ! cmp -s <(mask_dates "$work/ours") <(mask_dates "$work/theirs"); then
    echo "FAIL $name: output differs from curl's"
    failures=$((failures + 1))
  else
    echo "ok   $name (exit $ours)"
  fi
}

page="http://127.0.0.1:$http_port/index.html"
big="http://localhost:$http_port/big.bin"
for url in "$page" "$big"; do
  check "SOCKS 4 $url" "$url" --socks4 "127.0.0.1:$dante_port"
  check "SOCKS 5 $url" "$url" --socks5-hostname "127.0.0.1:$dante_port"
  check "SOCKS 5 with password $url" "$url" --socks5-hostname "127.0.0.1:$auth_port" --proxy-user 'fred:se:cret'
done
# Every size around the client's buffer sizes, with and without the head,
# from nginx through dante; the head's Date line is masked.
for size in "${BOUNDARY_SIZES[@]}"; do
  url="http://127.0.0.1:$nginx_port/sizes/size-$size.bin"
  check "SOCKS 5 file of $size bytes" "$url" --socks5-hostname "127.0.0.1:$dante_port"
  check "SOCKS 5 file of $size bytes with head" "$url" -i --socks5-hostname "127.0.0.1:$dante_port"
done
# Refusals end with the same exit code: a wrong password, a target the proxy
# cannot reach, and SOCKS 4A, which dante does not speak.
check "SOCKS 5 wrong password" "$page" --socks5-hostname "127.0.0.1:$auth_port" --proxy-user fred:wrong
check "SOCKS 5 without the password" "$page" --socks5-hostname "127.0.0.1:$auth_port"
check "SOCKS 5 target refused" "http://127.0.0.1:$(free_port)/" --socks5-hostname "127.0.0.1:$dante_port"
check "SOCKS 4 target refused" "http://127.0.0.1:$(free_port)/" --socks4 "127.0.0.1:$dante_port"
check "SOCKS 4A refused" "$page" --socks4a "127.0.0.1:$dante_port"

if ((failures)); then
  echo "$failures of the runs differ from curl's"
  exit 1
fi
