#!/usr/bin/env bash
# meridian-fetch beside curl for the proxy variables and the method rules of
# redirects. The peers, all on loopback ports of their own: an echo server
# (echo_server.py) over http and over https, which tells the method, body,
# Content-Type and Content-Length it received and the address the
# connection came from; tinyproxy, which adds a Via line; dante, which
# connects out from 127.0.0.2. Each case runs both clients with the same
# options, URLs and environment (nothing else of the caller's environment
# but PATH); standard output must match byte for byte (Date values aside)
# and so must the exit codes.
# Usage: proxy_redirect_peers.sh PATH_TO_MERIDIAN_FETCH
# Exits 77 (skipped) when a peer program is missing and cannot be installed.
set -uo pipefail

fetch=${1:?usage: proxy_redirect_peers.sh PATH_TO_MERIDIAN_FETCH}
here=$(dirname "$0")
source "$here/peers.sh"

require tinyproxy danted:dante-server curl openssl python3
tinyproxy_bin=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
danted_bin=$(command -v danted || echo /usr/sbin/danted)

start_scratch

# A dead port: taken and let go again, so nothing listens there.
read -r http_port https_port proxy_port socks_port dead_port < <(free_ports 5)

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
python3 "$here/echo_server.py" "$http_port" >/dev/null 2>&1 &
pids+=($!)
python3 "$here/echo_server.py" "$https_port" "$work/cert.pem" "$work/key.pem" >/dev/null 2>&1 &
pids+=($!)

cat >"$work/tinyproxy.conf" <<CONF
Port $proxy_port
Listen 127.0.0.1
Timeout 30
MaxClients 20
Allow 127.0.0.1
LogLevel Critical
LogFile "$work/tinyproxy.log"
PidFile "$work/tinyproxy.pid"
CONF
if [[ $(id -u) -eq 0 ]]; then
  printf 'User root\nGroup root\n' >>"$work/tinyproxy.conf"
fi
"$tinyproxy_bin" -d -c "$work/tinyproxy.conf" >/dev/null 2>&1 &
pids+=($!)
start_danted "$danted_bin" "$socks_port" 127.0.0.2

h=http://127.0.0.1:$http_port
s=https://127.0.0.1:$https_port
proxy=127.0.0.1:$proxy_port
socks=127.0.0.1:$socks_port
dead=127.0.0.1:$dead_port
wait_for "$h/echo"
wait_for -k "$s/echo"
wait_for -x "$proxy" "$h/echo"
wait_for --socks5-hostname "$socks" "$h/echo"

# compare_in NAME VARIABLES -- ARGS...: compare, with only PATH and VARIABLES
# (NAME=VALUE words) in the clients' environment.
compare_in() {
  local name=$1
  shift
  local vars=()
  while [[ $1 != -- ]]; do
    vars+=("$1")
    shift
  done
  shift
  launch=(env -i PATH="$PATH" "${vars[@]}")
  compare "$name" "$@"
  launch=()
}

# ---- Proxy variables ----
compare_in "http_proxy" http_proxy=$proxy -- "$h/echo"
compare_in "http_proxy with scheme and user info" http_proxy=http://u:p@$proxy/ -- "$h/echo"
compare_in "HTTP_PROXY is not read" HTTP_PROXY=$proxy -- "$h/echo"
compare_in "all_proxy" all_proxy=$proxy -- "$h/echo"
compare_in "ALL_PROXY" ALL_PROXY=$proxy -- "$h/echo"
compare_in "http_proxy before all_proxy" http_proxy=$dead all_proxy=$proxy -- "$h/echo"
compare_in "empty http_proxy leaves all_proxy" http_proxy= all_proxy=$proxy -- "$h/echo"
compare_in "https_proxy not for http" https_proxy=$dead -- "$h/echo"
for list in 127.0.0.1 " 127.0.0.1 " "example.test, 127.0.0.1" "example.test 127.0.0.1" "*" 127.0.0.0/8 \
  127.0.0.1/32 127.0.0.2/32 "127.0.0.1:$http_port" "*,example.test" .0.0.1 0.0.1 example.test; do
  compare_in "no_proxy '$list'" http_proxy=$proxy "no_proxy=$list" -- "$h/echo"
done
compare_in "NO_PROXY" http_proxy=$proxy NO_PROXY=127.0.0.1 -- "$h/echo"
compare_in "no_proxy before NO_PROXY" http_proxy=$proxy no_proxy=example.test NO_PROXY=127.0.0.1 -- "$h/echo"
compare_in "empty no_proxy leaves NO_PROXY" http_proxy=$proxy no_proxy= NO_PROXY=127.0.0.1 -- "$h/echo"
for list in localhost .localhost LOCALHOST localhost. calhost host; do
  compare_in "no_proxy '$list' for a name" http_proxy=$proxy "no_proxy=$list" -- "http://localhost:$http_port/echo"
done
compare_in "-x '' goes direct" http_proxy=$dead all_proxy=$dead -- -x "" "$h/echo"
compare_in "--noproxy replaces no_proxy" http_proxy=$proxy no_proxy=example.test -- --noproxy 127.0.0.1 "$h/echo"
compare_in "--noproxy '' lifts no_proxy" http_proxy=$proxy no_proxy=127.0.0.1 -- --noproxy "" "$h/echo"
compare_in "no_proxy applies to -x" no_proxy=127.0.0.1 -- -x "$dead" "$h/echo"
compare_in "-x before the variables" http_proxy=$dead -- -x "$proxy" "$h/echo"
compare_in "--noproxy with -x" -- --noproxy "example.test,127.0.0.0/8" -x "$dead" "$h/echo"
compare_in "no_proxy spares a bad setting" http_proxy=ftp://$proxy no_proxy=127.0.0.1 -- "$h/echo"
for setting in "ftp://$proxy" "https2://$proxy" "http://:$proxy_port" "127.0.0.1:99999" "127.0.0.1:" "127.0.0.1:8o" \
  "$dead" "http://127.0.0.1"; do
  compare_in "http_proxy '$setting'" "http_proxy=$setting" -- "$h/echo"
  compare_in "-x '$setting'" -- -x "$setting" "$h/echo"
done
compare_in "dead proxy for two URLs" http_proxy=$dead -- "$h/echo" "$h/echo"

# https: the tunnel of https_proxy; http_proxy is not for https.
compare_in "https_proxy" https_proxy=$proxy -- -k "$s/echo"
compare_in "HTTPS_PROXY" HTTPS_PROXY=$dead -- -k "$s/echo"
compare_in "https_proxy before HTTPS_PROXY" https_proxy=$proxy HTTPS_PROXY=$dead -- -k "$s/echo"
compare_in "http_proxy not for https" http_proxy=$dead -- -k "$s/echo"
compare_in "all_proxy for https" all_proxy=$dead -- -k "$s/echo"
compare_in "no_proxy for https" https_proxy=$dead no_proxy=127.0.0.1 -- -k "$s/echo"

# SOCKS, from the variables and from -x: dante connects from 127.0.0.2.
for scheme in socks4 socks4a socks5 socks5h; do
  compare_in "all_proxy $scheme://" all_proxy=$scheme://$socks -- "$h/echo"
  compare_in "-x $scheme://" -- -x "$scheme://$socks" "$h/echo"
  compare_in "https_proxy $scheme://" https_proxy=$scheme://$socks -- -k "$s/echo"
done
compare_in "socks5h:// with no_proxy" http_proxy=socks5h://$socks no_proxy=127.0.0.1 -- "$h/echo"
compare_in "socks4:// dead" http_proxy=socks4://$dead -- "$h/echo"

# A redirect to a host of no_proxy leaves the proxy; one back takes it again.
compare_in "redirect out of the proxy" http_proxy=$proxy no_proxy=localhost -- -L "$h/to?http://localhost:$http_port/echo"
compare_in "redirect into the proxy" http_proxy=$proxy no_proxy=localhost -- \
  -L "http://localhost:$http_port/to?$h/echo"

# ---- Methods on redirects ----
printf 'uploaded\n' >"$work/upload.txt"
for code in 301 302 303 307 308; do
  compare_in "$code after GET" -- -L "$h/r/$code"
  compare_in "$code after POST" -- -L -d "a=1&b=2" "$h/r/$code"
  compare_in "$code after POST with head" -- -i -L -d "a=1" "$h/r/$code"
  compare_in "$code after POST, --post$code" -- -L "--post$code" -d "a=1" "$h/r/$code"
  compare_in "$code after POST, all --post" -- -L --post301 --post302 --post303 -d "a=1" "$h/r/$code"
  compare_in "$code after PUT" -- -L -T "$work/upload.txt" "$h/r/$code"
  compare_in "$code after HEAD" -- -L -I "$h/r/$code"
  compare_in "$code after DELETE" -- -L -X DELETE "$h/r/$code"
  compare_in "$code after POST, not followed" -- -i -d "a=1" "$h/r/$code"
  compare_in "$code after POST, over the proxy" http_proxy=$proxy -- -L -d "a=1" "$h/r/$code"
done
compare_in "307 then 303 after POST" -- -L -d "a=1" "$h/r/307/r/303/echo"
compare_in "303 then 307 after POST" -- -L -d "a=1" "$h/r/303/r/307/echo"
compare_in "307, 302, 308 after POST" -- -i -L -d "a=1" "$h/r/307/r/302/r/308/echo"
compare_in "POST file to 308 with a form type" -- -L -d "@$work/upload.txt" -H "Content-Type: text/x-test" "$h/r/308"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
