#!/usr/bin/env bash
# meridian-fetch against real servers on loopback ports of its own: nginx
# (static files, files of every size around the client's buffer sizes,
# keep-alive, a 301, a 404), Python's http.server (HTTP/1.0),
# a Python server that ends its bodies by closing, and tinyproxy as an HTTP
# proxy; nginx's auth_basic and a second tinyproxy with BasicAuth for -u and -U. Each case runs meridian-fetch and curl with the same options and
# URLs; standard output must match byte for byte (the value of Date lines
# aside, which tells only the second of the answer) and the exit codes must
# match.
# Usage: real_peers.sh PATH_TO_MERIDIAN_FETCH [REFERENCE_CLIENT]
# The reference is curl unless another client is named (another build of
# meridian-fetch, whose output must then be the same).
# Exits 77 (skipped) when a server program is missing and cannot be installed.
set -uo pipefail

fetch=${1:?usage: real_peers.sh PATH_TO_MERIDIAN_FETCH [REFERENCE_CLIENT]}
reference=${2:-curl}
source "$(dirname "$0")/nginx_conf.sh"
source "$(dirname "$0")/boundary_files.sh"
source "$(dirname "$0")/peers.sh"

require nginx tinyproxy curl python3
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
tinyproxy_bin=$(command -v tinyproxy || echo /usr/bin/tinyproxy)

start_scratch

# Five free loopback ports, asked of the system.
read -r nginx_port python_port close_port proxy_port auth_proxy_port < <(free_ports 5)

# The files served.
www=$work/www
mkdir -p "$www/dir" "$work/nginx"
printf '<html><body>index</body></html>\n' >"$www/index.html"
printf 'plain text\r\nwith CR LF\n' >"$www/notes.txt"
printf 'in a folder\n' >"$www/dir/index.html"
: >"$www/empty.txt"
head -c 3000000 /dev/urandom >"$www/big.bin"
boundary_files "$www/sizes"
mkdir -p "$www/private"
printf 'for members only\n' >"$www/private/page.txt"
# The members of /private/: one user, its password as a SHA-1 entry.
python3 -c 'import base64, hashlib, sys; print("member:{SHA}" + base64.b64encode(hashlib.sha1(sys.argv[1].encode()).digest()).decode())' \
  opensesame >"$work/nginx/htpasswd"

nginx_conf "$work/nginx" "$nginx_port" "$www" "
  log_format conn '\$connection \$request \$http_user_agent';
  access_log $work/nginx/access.log conn;
  types { text/html html; text/plain txt; application/octet-stream bin; }
  keepalive_timeout 30;" "
    location = /moved { return 301 /index.html; }
    location /private/ { auth_basic \"members\"; auth_basic_user_file $work/nginx/htpasswd; }"
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>>"$work/nginx/error.log" &
pids+=($!)

python3 -m http.server "$python_port" --bind 127.0.0.1 --directory "$www" >/dev/null 2>&1 &
pids+=($!)

# HTTP/1.0 answers without Content-Length: the body ends when the server closes.
python3 - "$close_port" >/dev/null 2>&1 <<'EOF' &
import sys
from http.server import BaseHTTPRequestHandler, HTTPServer

class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        body = b"body until close\n" * 4096
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass

HTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
EOF
pids+=($!)

cat >"$work/tinyproxy.conf" <<EOF
Port $proxy_port
Listen 127.0.0.1
Timeout 30
MaxClients 20
Allow 127.0.0.1
DisableViaHeader Yes
LogLevel Critical
LogFile "$work/tinyproxy.log"
PidFile "$work/tinyproxy.pid"
EOF
if [[ $(id -u) -eq 0 ]]; then
  printf 'User root\nGroup root\n' >>"$work/tinyproxy.conf"
fi
"$tinyproxy_bin" -d -c "$work/tinyproxy.conf" >/dev/null 2>&1 &
pids+=($!)

# The same proxy asking for a user name and password.
sed -e "s/^Port .*/Port $auth_proxy_port/" -e "s/tinyproxy\.\(log\|pid\)/auth-tinyproxy.\1/" \
  "$work/tinyproxy.conf" >"$work/auth-tinyproxy.conf"
echo 'BasicAuth pxuser pxpass' >>"$work/auth-tinyproxy.conf"
"$tinyproxy_bin" -d -c "$work/auth-tinyproxy.conf" >/dev/null 2>&1 &
pids+=($!)

wait_for "http://127.0.0.1:$nginx_port/index.html"
wait_for "http://127.0.0.1:$python_port/index.html"
wait_for "http://127.0.0.1:$close_port/"
wait_for -x "127.0.0.1:$proxy_port" "http://127.0.0.1:$nginx_port/index.html"
wait_for -x "127.0.0.1:$auth_proxy_port" "http://127.0.0.1:$nginx_port/index.html"

n=http://127.0.0.1:$nginx_port
p=http://127.0.0.1:$python_port
c=http://127.0.0.1:$close_port

compare "nginx file" "$n/index.html"
compare "nginx file with head" -i "$n/index.html"
compare "nginx text with CR LF" -i "$n/notes.txt"
compare "nginx empty file" -i "$n/empty.txt"
compare "nginx large file" "$n/big.bin"
compare "nginx HEAD" -I "$n/big.bin"
for size in "${BOUNDARY_SIZES[@]}"; do
  compare "nginx file of $size bytes" "$n/sizes/size-$size.bin"
  compare "nginx file of $size bytes with head" -i "$n/sizes/size-$size.bin"
done
compare "nginx 404" -i "$n/missing"
compare "nginx 404 with -f" -f "$n/missing"
compare "nginx 301 not followed" -i "$n/moved"
compare "nginx 301 followed" -i -L "$n/moved"
compare "nginx folder redirect followed" -L "$n/dir"
compare "nginx keep-alive, three URLs" -i "$n/index.html" "$n/notes.txt" "$n/missing"
compare "nginx HTTP/1.0" -i -0 -H "Connection: keep-alive" "$n/index.html"
compare "nginx POST to a file" -i -d "a=1" "$n/index.html"
compare "python file" -i "$p/index.html"
compare "python 404" -i "$p/missing"
compare "python HEAD" -I "$p/notes.txt"
compare "python folder listing" "$p/"
compare "python two URLs" "$p/index.html" "$p/big.bin"
compare "body until close" -i "$c/"
compare "proxy file" -i -x "127.0.0.1:$proxy_port" "$n/index.html"
compare "proxy large file" -x "http://127.0.0.1:$proxy_port" "$n/big.bin"
compare "proxy 404" -i -x "127.0.0.1:$proxy_port" "$n/missing"
compare "proxy body until close" -x "127.0.0.1:$proxy_port" "$c/"

a=127.0.0.1:$auth_proxy_port
compare "auth_basic, right password" -i -u member:opensesame "$n/private/page.txt"
compare "auth_basic, right password sent unasked" --basic -u member:opensesame "$n/private/page.txt"
compare "auth_basic, wrong password" -i -u member:wrong "$n/private/page.txt"
compare "auth_basic, wrong password with -f" -f -u member:wrong "$n/private/page.txt"
compare "auth_basic, no credentials with -f" -f "$n/private/page.txt"
compare "auth_basic, two URLs" -u member:opensesame "$n/private/page.txt" "$n/index.html" "$n/private/page.txt"
compare "proxy BasicAuth, right password" -i -U pxuser:pxpass -x "$a" "$n/index.html"
compare "proxy BasicAuth, wrong password" -i -U pxuser:nope -x "$a" "$n/index.html"
compare "proxy BasicAuth, wrong password with -f" -f -U pxuser:nope -x "$a" "$n/index.html"
compare "proxy BasicAuth, no credentials with -f" -f -x "$a" "$n/index.html"
compare "proxy BasicAuth and auth_basic" -u member:opensesame -U pxuser:pxpass -x "$a" "$n/private/page.txt"

# Header values far past any fold width go out on one line each; nginx
# answers a folded line with 400. Values with blanks, from an option and
# from a cookie file.
long_agent="reader/2.0$(printf ' (component %d)' $(seq 1 100))"
for i in $(seq 1 100); do
  printf '127.0.0.1\tFALSE\t/\tFALSE\t0\tcookie%d\tvalue%d\n' "$i" "$i"
done >"$work/many-cookies.txt"
compare "nginx long User-Agent and Cookie" -i -A "$long_agent" -b "$work/many-cookies.txt" "$n/index.html"

# The three URLs of one run went over one kept-alive connection.
count_connections() { grep 'Meridian' "$work/nginx/access.log" | awk '{print $1}' | sort -u | wc -l; }
connections=$(count_connections)
"$fetch" -s -o /dev/null "$n/index.html" "$n/notes.txt" "$n/empty.txt"
after=$(count_connections)
if [[ $((after - connections)) -eq 1 ]]; then
  passed=$((passed + 1))
else
  echo "FAIL keep-alive: one run of three URLs used more than one connection"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
