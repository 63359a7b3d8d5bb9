#!/usr/bin/env bash
# meridian-fetch's --compressed, --digest and --anyauth against real servers
# on loopback ports of its own: nginx compressing text files with gzip, and
# Apache's mod_auth_digest guarding a folder. Each case runs meridian-fetch
# and curl with the same options and URL; standard output must match byte
# for byte (the values of Date lines and of the per-request Digest lines
# aside) and the exit codes must match.
# Usage: codec_peers.sh PATH_TO_MERIDIAN_FETCH
# Exits 77 (skipped) when a server program is missing and cannot be installed,
# or when the client was built without content decoding.
set -uo pipefail

fetch=${1:?usage: codec_peers.sh PATH_TO_MERIDIAN_FETCH}
source "$(dirname "$0")/nginx_conf.sh"
source "$(dirname "$0")/peers.sh"

require nginx apache2 curl python3
if ! "$fetch" --compressed --help >/dev/null 2>&1; then
  echo "SKIP: meridian-fetch has no content decoding in this build"
  exit 77
fi
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
modules=/usr/lib/apache2/modules

start_scratch
# Apache's worker runs as www-data and must read its files.
chmod 755 "$work"

read -r nginx_port apache_port < <(free_ports 2)

# nginx: text files of several sizes, compressed on the fly; an image type
# that nginx leaves alone.
www=$work/www
mkdir -p "$www" "$work/nginx"
python3 - "$www" <<'PY'
import random, sys
words = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu".split()
rng = random.Random(7)
for name, count in (("small.txt", 20), ("page.txt", 4000), ("large.txt", 400000)):
    with open(f"{sys.argv[1]}/{name}", "w") as f:
        for i in range(count):
            f.write(" ".join(rng.choice(words) for _ in range(8)) + f" {i}\n")
PY
printf 'x' >"$www/one.txt"
head -c 100000 /dev/urandom >"$www/noise.bin"
nginx_conf "$work/nginx" "$nginx_port" "$www" "
  access_log off;
  types { text/plain txt; application/octet-stream bin; }
  gzip on;
  gzip_min_length 1;
  gzip_types text/plain;" ""
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>>"$work/nginx/error.log" &
pids+=($!)

# Apache with Digest (MD5, qop auth) on /private/.
ap=$work/apache
mkdir -p "$ap/www/private"
printf 'for members only\n' >"$ap/www/private/page.txt"
printf 'open to all\n' >"$ap/www/index.txt"
python3 -c 'import hashlib; print("member:members:" + hashlib.md5(b"member:members:opensesame").hexdigest())' \
  >"$ap/htdigest"
chmod -R a+rX "$ap"
cat >"$ap/httpd.conf" <<CONF
ServerRoot $ap
ServerName 127.0.0.1
Listen 127.0.0.1:$apache_port
PidFile $ap/httpd.pid
DefaultRuntimeDir $ap
Mutex file:$ap default
ErrorLog $ap/error.log
LoadModule mpm_event_module $modules/mod_mpm_event.so
LoadModule authn_core_module $modules/mod_authn_core.so
LoadModule authn_file_module $modules/mod_authn_file.so
LoadModule authz_core_module $modules/mod_authz_core.so
LoadModule authz_user_module $modules/mod_authz_user.so
LoadModule auth_basic_module $modules/mod_auth_basic.so
LoadModule auth_digest_module $modules/mod_auth_digest.so
User www-data
Group www-data
DocumentRoot $ap/www
<Location /private/>
  AuthType Digest
  AuthName "members"
  AuthDigestDomain /private/
  AuthUserFile $ap/htdigest
  Require valid-user
</Location>
CONF
/usr/sbin/apache2 -X -f "$ap/httpd.conf" >"$ap/out" 2>&1 &
pids+=($!)

wait_for "http://127.0.0.1:$nginx_port/one.txt"
wait_for "http://127.0.0.1:$apache_port/index.txt"

# Lines whose values differ from run to run: the date, and the nonces and
# answers of Digest.
mask() { sed -E 's/^(Date|WWW-Authenticate|Authentication-Info): .*\r$/\1: -\r/' "$1"; }

n=http://127.0.0.1:$nginx_port
for file in one.txt small.txt page.txt large.txt; do
  compare "gzip $file" --compressed "$n/$file"
  compare "gzip $file with head" -i --compressed "$n/$file"
done
compare "gzip not asked for" -i "$n/page.txt"
compare "binary left alone" -i --compressed "$n/noise.bin"
compare "gzip HEAD" -I --compressed "$n/page.txt"
compare "gzip 404 page" -i --compressed "$n/missing"
compare "gzip, three URLs on one connection" --compressed "$n/page.txt" "$n/small.txt" "$n/noise.bin"

# The body came compressed: the gzip cases above compared something.
"$fetch" -s -i --compressed "$n/large.txt" >"$work/large"
if grep -q $'^Content-Encoding: gzip\r$' "$work/large"; then
  passed=$((passed + 1))
else
  echo "FAIL: nginx did not send large.txt compressed"
  failed=$((failed + 1))
fi

a=http://127.0.0.1:$apache_port
compare "digest, right password" -i --digest -u member:opensesame "$a/private/page.txt"
compare "digest, right password, body only" --digest -u member:opensesame "$a/private/page.txt"
compare "anyauth, right password" -i --anyauth -u member:opensesame "$a/private/page.txt"
compare "digest, wrong password" -i --digest -u member:wrong "$a/private/page.txt"
compare "digest, wrong user with -f" -f --digest -u stranger:opensesame "$a/private/page.txt"
compare "digest, no challenge" -i --digest -u member:opensesame "$a/index.txt"
compare "basic offered nothing it speaks" -i -u member:opensesame "$a/private/page.txt"
compare "digest without credentials" -i --digest "$a/private/page.txt"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
