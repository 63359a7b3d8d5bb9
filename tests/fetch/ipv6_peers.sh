#!/usr/bin/env bash
# meridian-fetch over IPv6 against real servers on loopback: nginx listening
# on [::1] and 127.0.0.1 (one port on both, one on ::1 only, one on 127.0.0.1
# only), names that resolve to both families (localhost: 127.0.0.1 then ::1;
# and, through a test hosts file read by nss_wrapper, a name whose first
# address refuses and whose second answers), -4 and -6, the Host header and
# redirects with brackets, cookies of an IPv6 host, and dante carrying IPv6
# targets over SOCKS 5 while SOCKS 4 refuses them. Each case runs
# meridian-fetch and curl with the same options; standard output and exit
# codes must match.
# Usage: ipv6_peers.sh PATH_TO_MERIDIAN_FETCH
# Exits 77 (skipped) when a server program is missing or the machine has no
# IPv6 loopback.
set -uo pipefail

fetch=${1:?usage: ipv6_peers.sh PATH_TO_MERIDIAN_FETCH}
source "$(dirname "$0")/nginx_conf.sh"
source "$(dirname "$0")/peers.sh"

nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
danted_bin=$(command -v danted || echo /usr/sbin/danted)
for p in "$nginx_bin" "$danted_bin"; do
  [[ -x $p ]] || { echo "SKIP: $p not available"; exit 77; }
done
command -v curl >/dev/null || { echo "SKIP: curl not available"; exit 77; }
python3 -c 'import socket; s = socket.socket(socket.AF_INET6); s.bind(("::1", 0))' 2>/dev/null ||
  { echo "SKIP: no IPv6 loopback"; exit 77; }

start_scratch

# Ports free on both families (checked on ::1 as well as 127.0.0.1).
read -r both v6_only v4_only socks_port < <(python3 - <<'PY'
import socket
ports = []
while len(ports) < 4:
    a = socket.socket(); a.bind(("127.0.0.1", 0)); port = a.getsockname()[1]
    b = socket.socket(socket.AF_INET6)
    try:
        b.bind(("::1", port)); ports.append(port)
    except OSError:
        pass
    a.close(); b.close()
print(*ports)
PY
)

www=$work/www
mkdir -p "$www" "$work/nginx"
printf '<html><body>index</body></html>\n' >"$www/index.html"
nginx_conf "$work/nginx" "$both" "$www" "
  access_log off;
  types { text/html html; }" "
    listen [::1]:$both;
    listen [::1]:$v6_only;
    listen 127.0.0.1:$v4_only;
    location = /host { default_type text/plain; return 200 \"host=\$http_host server=\$server_addr\n\"; }
    location = /moved { return 301 /host; }
    location = /set { add_header Set-Cookie \"six=yes\"; default_type text/plain; return 200 \"set\n\"; }
    location = /cookie { default_type text/plain; return 200 \"cookie=\$http_cookie\n\"; }"
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>>"$work/nginx/error.log" &
pids+=($!)

# dante on 127.0.0.1, going out over either family.
cat >"$work/danted.conf" <<CONF
logoutput: $work/danted.log
internal: 127.0.0.1 port = $socks_port
external: 127.0.0.1
external: ::1
clientmethod: none
socksmethod: none
client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
  command: connect
}
socks pass {
  from: 127.0.0.0/8 to: ::/0
  command: connect
}
CONF
"$danted_bin" -f "$work/danted.conf" -p "$work/danted.pid" -N 1 >"$work/danted.out" 2>&1 &
pids+=($!)

wait_for "http://[::1]:$both/index.html"
wait_for "http://127.0.0.1:$v4_only/index.html"
wait_for --socks5-hostname "127.0.0.1:$socks_port" "http://127.0.0.1:$both/index.html"

six=http://[::1]:$both
compare "IPv6 literal" -i "$six/index.html"
compare "IPv6 literal, Host header" "$six/host"
compare "IPv6 literal, default port refused" "http://[::1]/index.html"
compare "IPv6 literal, redirect followed" -i -L "$six/moved"
compare "IPv6 literal with -6" -6 "$six/host"
compare "IPv6 literal with -4" -4 "$six/host"
compare "IPv4 literal with -6" -6 "http://127.0.0.1:$both/host"
compare "IPv4 literal with -4" -4 "http://127.0.0.1:$both/host"
compare "localhost, 127.0.0.1 answers" "http://localhost:$both/host"
compare "localhost, 127.0.0.1 refuses, ::1 answers" "http://localhost:$v6_only/host"
compare "localhost, only ::1 answers, with -4" -4 "http://localhost:$v6_only/host"
compare "localhost, only 127.0.0.1 answers, with -6" -6 "http://localhost:$v4_only/host"
compare "localhost with -6" -6 "http://localhost:$both/host"
compare "localhost, nothing answers" "http://localhost:$((socks_port))/host"
compare "cookie of an IPv6 host" -c /dev/null "$six/set" "$six/cookie"
compare "cookie not sent to 127.0.0.1" -c /dev/null "$six/set" "http://127.0.0.1:$both/cookie"
compare "two URLs, both families" "$six/host" "http://127.0.0.1:$both/host" "$six/host"
compare "SOCKS 5 to an IPv6 target" --socks5-hostname "127.0.0.1:$socks_port" "$six/host"
compare "SOCKS 5 to a name, resolved by the proxy" --socks5-hostname "127.0.0.1:$socks_port" \
  "http://localhost:$both/host"
compare "SOCKS 4 refuses an IPv6 target" --socks4 "127.0.0.1:$socks_port" "$six/host"
compare "SOCKS 4A to an IPv4 target" --socks4a "127.0.0.1:$socks_port" "http://127.0.0.1:$both/host"

# A test hosts file, read by nss_wrapper in place of the system's: one name
# whose first address is ::1 and second 127.0.0.1, one the other way round.
wrapper=$(ls /usr/lib/*/libnss_wrapper.so /usr/lib/libnss_wrapper.so 2>/dev/null | head -1)
if [[ -n $wrapper ]]; then
  printf '::1 six-first.test\n127.0.0.1 six-first.test\n127.0.0.1 four-first.test\n::1 four-first.test\n' \
    >"$work/hosts"
  (
    export LD_PRELOAD=$wrapper NSS_WRAPPER_HOSTS=$work/hosts NSS_WRAPPER_PASSWD=/etc/passwd \
      NSS_WRAPPER_GROUP=/etc/group ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
    compare "name, ::1 refuses, 127.0.0.1 answers" -i "http://six-first.test:$v4_only/host"
    compare "name, 127.0.0.1 refuses, ::1 answers" -i "http://four-first.test:$v6_only/host"
    compare "name, ::1 answers first" "http://six-first.test:$both/host"
    compare "name with -4" -4 "http://six-first.test:$v6_only/host"
    compare "name with -6" -6 "http://four-first.test:$v4_only/host"
    compare "name with -6, answering" -6 "http://four-first.test:$both/host"
    # Our own client took the addresses in the file's order.
    "$fetch" -s -v "http://six-first.test:$v4_only/host" 2>&1 >/dev/null | grep -E '^\* Connecting' >"$work/order"
    if [[ $(cat "$work/order") == $'* Connecting to ::1.\n* Connecting to 127.0.0.1.' ]]; then
      passed=$((passed + 1))
    else
      echo "FAIL order of addresses:"
      cat "$work/order"
      failed=$((failed + 1))
    fi
    echo "$passed $failed" >"$work/counts"
  )
  read -r passed failed <"$work/counts"
else
  echo "NOTE: nss_wrapper missing; the test hosts file is not tried"
fi

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
