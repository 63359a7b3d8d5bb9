#!/usr/bin/env bash
# meridian-fetch over https against nginx with TLS on loopback ports of its
# own, with a test CA and certificates made here with the openssl command.
# Each case runs meridian-fetch and curl with the same options and URLs;
# standard output must match byte for byte (Date values aside) and the exit
# codes must match: verified fetches of files of many sizes, a 404, a
# redirect from http to https, certificates refused for their reason (and
# accepted with -k), a server asking for a client certificate, a TLS-1.0-only
# server, unusable local files and cipher lists, https through tinyproxy
# (CONNECT) and dante (SOCKS 5), and several URLs over one TLS connection.
# Usage: https_peers.sh PATH_TO_MERIDIAN_FETCH
# Exits 77 (skipped) when a program is missing and cannot be installed.
set -uo pipefail

fetch=${1:?usage: https_peers.sh PATH_TO_MERIDIAN_FETCH}
source "$(dirname "$0")/boundary_files.sh"
source "$(dirname "$0")/peers.sh"

require nginx tinyproxy danted:dante-server curl openssl python3
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
tinyproxy_bin=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
danted_bin=$(command -v danted || echo /usr/sbin/danted)

start_scratch

# Free loopback ports, asked of the system.
read -r plain_port good_port expired_port wronghost_port selfsigned_port untrusted_port client_port \
  old_port proxy_port socks_port silent_port < <(free_ports 11)

# The certificates: a root, a server certificate for localhost and
# 127.0.0.1, the same expired, one for another name, one from a root nobody
# trusts, a self-signed one, and a client certificate with a key that
# matches and one that does not.
pki=$work/pki
mkdir -p "$pki"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$pki/$1.key" 2>/dev/null; }
root() {
  key "$1"
  openssl req -x509 -new -key "$pki/$1.key" -out "$pki/$1.pem" -subj "/CN=$2" -days 2 \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}
# issued NAME SUBJECT ISSUER EXTENSIONS [openssl x509 date options...]
issued() {
  local name=$1 subject=$2 issuer=$3 extensions=$4
  shift 4
  key "$name"
  openssl req -new -key "$pki/$name.key" -out "$pki/$name.csr" -subj "/CN=$subject" 2>/dev/null
  printf '%s\n' "$extensions" >"$pki/$name.ext"
  openssl x509 -req -in "$pki/$name.csr" -CA "$pki/$issuer.pem" -CAkey "$pki/$issuer.key" -CAcreateserial \
    -out "$pki/$name.pem" -extfile "$pki/$name.ext" "$@" 2>/dev/null
}
server_ext="subjectAltName=DNS:localhost,IP:127.0.0.1"
root ca "Meridian Test Root"
root stranger-ca "Nobody's Root"
issued server localhost ca "$server_ext" -days 2
issued expired localhost ca "$server_ext" -days -1
issued wronghost other.test ca "subjectAltName=DNS:other.test" -days 2
issued untrusted localhost stranger-ca "$server_ext" -days 2
issued client "Meridian Reader" ca "extendedKeyUsage=clientAuth" -days 2
key mismatched
key selfsigned
openssl req -x509 -new -key "$pki/selfsigned.key" -out "$pki/selfsigned.pem" -subj /CN=localhost -days 2 \
  -addext "$server_ext" 2>/dev/null
cat "$pki/client.pem" "$pki/client.key" >"$pki/client-both.pem"
for f in ca server expired wronghost untrusted selfsigned client; do
  [[ -s $pki/$f.pem ]] || { echo "FAIL: the openssl command could not make $f.pem"; exit 1; }
done

# The files served.
www=$work/www
mkdir -p "$www" "$work/nginx"
printf '<html><body>index</body></html>\n' >"$www/index.html"
printf 'plain text\r\nwith CR LF\n' >"$www/notes.txt"
head -c 3000000 /dev/urandom >"$www/big.bin"
boundary_files "$www/sizes"

tls_server() {
  local port=$1 name=$2 extra=${3:-}
  cat <<CONF
  server {
    listen 127.0.0.1:$port ssl;
    root $www;
    ssl_certificate $pki/$name.pem;
    ssl_certificate_key $pki/$name.key;
    location = /moved { return 301 /index.html; }
$extra
  }
CONF
}
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type application/octet-stream;
  types { text/html html; text/plain txt; application/octet-stream bin; }
  log_format conn '\$connection \$request \$http_user_agent';
  access_log $work/nginx/access.log conn;
  keepalive_timeout 30;
  server {
    listen 127.0.0.1:$plain_port;
    root $www;
    location = /to-tls { return 302 https://localhost:$good_port/index.html; }
  }
$(tls_server "$good_port" server)
$(tls_server "$expired_port" expired)
$(tls_server "$wronghost_port" wronghost)
$(tls_server "$selfsigned_port" selfsigned)
$(tls_server "$untrusted_port" untrusted)
$(tls_server "$client_port" server "    ssl_verify_client on;
    ssl_client_certificate $pki/ca.pem;")
$(tls_server "$old_port" server "    ssl_protocols TLSv1;
    ssl_ciphers DEFAULT:@SECLEVEL=0;")
}
CONF
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>>"$work/nginx/error.log" &
pids+=($!)

# tinyproxy opens tunnels to the TLS port only.
cat >"$work/tinyproxy.conf" <<EOF
Port $proxy_port
Listen 127.0.0.1
Timeout 30
MaxClients 20
Allow 127.0.0.1
ConnectPort $good_port
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

start_danted "$danted_bin" "$socks_port"

s=https://localhost:$good_port
wait_for --cacert "$pki/ca.pem" "$s/index.html"
wait_for "http://127.0.0.1:$plain_port/index.html"
wait_for --cacert "$pki/ca.pem" -x "127.0.0.1:$proxy_port" "$s/index.html"
wait_for --cacert "$pki/ca.pem" --socks5-hostname "127.0.0.1:$socks_port" "$s/index.html"

# expect_error NAME TEXT ARGS...: meridian-fetch's error line names TEXT.
expect_error() {
  local name=$1 text=$2
  shift 2
  "$fetch" "$@" >/dev/null 2>"$work/ours.err"
  if grep -qF -- "$text" "$work/ours.err"; then
    passed=$((passed + 1))
  else
    echo "FAIL $name: no \"$text\" in: $(head -c 500 "$work/ours.err")"
    failed=$((failed + 1))
  fi
}

ca=(--cacert "$pki/ca.pem")
compare "https file" "${ca[@]}" "$s/index.html"
compare "https file with head" "${ca[@]}" -i "$s/notes.txt"
compare "https by address" "${ca[@]}" -i "https://127.0.0.1:$good_port/index.html"
compare "https large file" "${ca[@]}" "$s/big.bin"
compare "https HEAD" "${ca[@]}" -I "$s/big.bin"
for size in "${BOUNDARY_SIZES[@]}"; do
  compare "https file of $size bytes" "${ca[@]}" "$s/sizes/size-$size.bin"
done
compare "https 404" "${ca[@]}" -i "$s/missing"
compare "https 404 with -f" "${ca[@]}" -f "$s/missing"
compare "https 301 followed" "${ca[@]}" -i -L "$s/moved"
compare "http to https redirect followed" "${ca[@]}" -i -L "http://127.0.0.1:$plain_port/to-tls"
compare "http to https redirect not followed" "${ca[@]}" -i "http://127.0.0.1:$plain_port/to-tls"
compare "https keep-alive, three URLs" "${ca[@]}" -i "$s/index.html" "$s/notes.txt" "$s/missing"
compare "http and https in one run" "${ca[@]}" -i "http://127.0.0.1:$plain_port/index.html" "$s/index.html" \
  "http://127.0.0.1:$plain_port/notes.txt"

# Certificates refused for their reason, and accepted with -k.
compare "system CAs do not know the test root" "$s/index.html"
compare "expired certificate" "${ca[@]}" "https://localhost:$expired_port/index.html"
compare "wrong host name" "${ca[@]}" "https://localhost:$wronghost_port/index.html"
compare "self-signed certificate" "${ca[@]}" "https://localhost:$selfsigned_port/index.html"
compare "untrusted root" "${ca[@]}" "https://localhost:$untrusted_port/index.html"
for port in "$expired_port" "$wronghost_port" "$selfsigned_port" "$untrusted_port"; do
  compare "-k accepts port $port" -k -i "https://localhost:$port/index.html"
done
expect_error "expired names its reason" "certificate has expired" "${ca[@]}" "https://localhost:$expired_port/"
expect_error "wrong host names its reason" "hostname mismatch" "${ca[@]}" "https://localhost:$wronghost_port/"
expect_error "self-signed names its reason" "self-signed certificate" "${ca[@]}" "https://localhost:$selfsigned_port/"
expect_error "untrusted names its reason" "unable to get local issuer certificate" "${ca[@]}" \
  "https://localhost:$untrusted_port/"
expect_error "code 60" "(60)" "${ca[@]}" "https://localhost:$expired_port/"
compare "CA folder" --capath "$pki/nothing-here" "${ca[@]}" "$s/index.html"

# A server that asks for a client certificate.
c=https://localhost:$client_port/index.html
compare "client certificate and key" "${ca[@]}" -i -E "$pki/client.pem" --key "$pki/client.key" "$c"
compare "client certificate with its key in one file" "${ca[@]}" -E "$pki/client-both.pem" "$c"
compare "no client certificate" "${ca[@]}" "$c"
compare "key not matching the certificate" "${ca[@]}" -E "$pki/client.pem" --key "$pki/mismatched.key" "$c"
compare "certificate file missing" "${ca[@]}" -E "$work/none.pem" --key "$pki/client.key" "$c"
expect_error "mismatched key named" "Could not load key, check password." "${ca[@]}" -E "$pki/client.pem" \
  --key "$pki/mismatched.key" "$c"

# Old protocols, cipher lists and CA files.
compare "TLS-1.0-only server" "${ca[@]}" "https://localhost:$old_port/index.html"
compare "cipher list refused" "${ca[@]}" --ciphers NO-SUCH-CIPHER "$s/index.html"
compare "cipher list taken" "${ca[@]}" --ciphers ECDHE-ECDSA-AES128-GCM-SHA256 "$s/index.html"
compare "CA file missing" --cacert "$work/none.pem" "$s/index.html"
compare "CA file missing, plain http" --cacert "$work/none.pem" "http://127.0.0.1:$plain_port/index.html"

# Through tinyproxy (CONNECT) and dante (SOCKS 5).
# (Without -i: curl writes the proxy's answer to the CONNECT before the head.)
compare "https through an HTTP proxy" "${ca[@]}" -x "127.0.0.1:$proxy_port" "$s/index.html"
compare "https through an HTTP proxy, large file" "${ca[@]}" -x "127.0.0.1:$proxy_port" "$s/big.bin"
compare "https through an HTTP proxy, two URLs" "${ca[@]}" -x "127.0.0.1:$proxy_port" "$s/index.html" "$s/missing"
compare "https through an HTTP proxy, wrong host" "${ca[@]}" -x "127.0.0.1:$proxy_port" \
  "https://127.0.0.2:$good_port/index.html"
compare "https through SOCKS 5" "${ca[@]}" -i --socks5-hostname "127.0.0.1:$socks_port" "$s/index.html"
compare "https through SOCKS 5, large file" "${ca[@]}" --socks5-hostname "127.0.0.1:$socks_port" "$s/big.bin"
compare "https through SOCKS 4" "${ca[@]}" -i --socks4 "127.0.0.1:$socks_port" "$s/index.html"

# A server that accepts the connection and then says nothing: the handshake
# ends with -m's deadline (exit 28 for both), long before anything else would.
python3 - "$silent_port" >/dev/null 2>&1 <<'EOF' &
import socket, sys, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(8)
held = []
while len(held) < 64:
    held.append(server.accept()[0])
time.sleep(120)
EOF
pids+=($!)
for _ in $(seq 1 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$silent_port") 2>/dev/null && break
  sleep 0.1
done
started=$SECONDS
compare "a silent handshake ends under -m" "${ca[@]}" -m 2 "https://127.0.0.1:$silent_port/"
if ((SECONDS - started > 15)); then
  echo "FAIL a silent handshake: the two runs took $((SECONDS - started)) s under -m 2"
  failed=$((failed + 1))
fi

# -v shows the cipher.
expect_error "-v shows the cipher" "Cipher: name = " -v "${ca[@]}" "$s/index.html"

# Several URLs of one run, straight and through the tunnel, went over one TLS
# connection each.
count_connections() { grep 'Meridian' "$work/nginx/access.log" | awk '{print $1}' | sort -u | wc -l; }
for how in direct tunnel; do
  via=()
  [[ $how == tunnel ]] && via=(-x "127.0.0.1:$proxy_port")
  connections=$(count_connections)
  "$fetch" -s -o /dev/null "${ca[@]}" "${via[@]}" "$s/index.html" "$s/notes.txt" "$s/sizes/size-1.bin"
  after=$(count_connections)
  if [[ $((after - connections)) -eq 1 ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL keep-alive ($how): one run of three URLs used $((after - connections)) TLS connections"
    failed=$((failed + 1))
  fi
done

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
