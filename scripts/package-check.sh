#!/usr/bin/env bash
# Checks what users of a release get: builds the library and meridian-fetch
# optimised and without sanitizers into build/package, installs them into a
# temporary prefix, builds examples/get against that tree once through the
# CMake package and once through pkg-config and runs both against a loopback
# server; then makes the Debian packages with CPack, installs them with dpkg,
# runs the installed meridian-fetch and removes the packages again. Run by
# scripts/test.sh; needs root for dpkg. Leaves no package, server or temporary
# folder behind.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/package
packages=(meridian-fetch libmeridian-dev)

work=$(mktemp -d)
server_pid=""
installed=0
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if ((installed)); then
    dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "package-check: $*" >&2
  exit 1
}

step() { echo "== package-check: $*"; }

# Compares a program's output with what it should print.
expect_output() {
  local what=$1 want=$2 got=$3
  [ "$got" = "$want" ] || fail "$what printed '$got', expected '$want'"
}

step "release build of the library and meridian-fetch"
# The build's output is shown only when it fails.
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMERIDIAN_TESTS=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON &&
  cmake --build "$build" -j2 --target meridian-fetch meridian_fetch_man_page; } >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  fail "the release build failed"
fi

step "install into a temporary prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" --component dev >/dev/null
cmake --install "$build" --prefix "$prefix" --component fetch >/dev/null
for file in bin/meridian-fetch share/man/man1/meridian-fetch.1.gz include/meridian/http/http_client.h \
  include/meridian/net/version.h lib/cmake/Meridian/MeridianConfig.cmake \
  lib/cmake/Meridian/MeridianConfigVersion.cmake lib/pkgconfig/meridian.pc lib/libmeridian_http.a; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
# Only the library's public headers: the launcher stays out.
[ ! -e "$prefix/include/meridian/launcher" ] || fail "the launcher's headers are installed"
[ ! -e "$prefix/bin/meridian" ] || fail "the launcher is installed without being asked for"

step "a loopback server"
mkdir -p "$work/www"
head -c 100000 /dev/urandom >"$work/www/file.bin"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" >"$work/server.log" 2>&1 &
server_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^Serving HTTP on 127\.0\.0\.1 port \([0-9]*\).*/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  kill -0 "$server_pid" 2>/dev/null || fail "the server did not start: $(cat "$work/server.log")"
  sleep 0.1
done
[ -n "$port" ] || fail "the server named no port"
url=http://127.0.0.1:$port/file.bin

step "examples/get through find_package(Meridian)"
cmake -S "$root/examples/get" -B "$work/get-cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/get-cmake" -j2 >/dev/null
expect_output "get (CMake package)" "200 100000" "$("$work/get-cmake/get" "$url")"
expect_output "get (CMake package), a missing file" "404 " \
  "$("$work/get-cmake/get" "http://127.0.0.1:$port/missing" | cut -d' ' -f1) "

step "examples/get through pkg-config"
flags=$(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs meridian)
# shellcheck disable=SC2086  # the flags are words
g++ -std=c++20 -O2 "$root/examples/get/main.cpp" $flags -o "$work/get-pkg-config"
expect_output "get (pkg-config)" "200 100000" "$("$work/get-pkg-config" "$url")"

step "the installed meridian-fetch"
"$prefix/bin/meridian-fetch" -s -o "$work/fetched" "$url"
cmp -s "$work/fetched" "$work/www/file.bin" || fail "the installed meridian-fetch fetched other bytes"

step "Debian packages"
(cd "$build" && cpack -G DEB -B "$work/debs" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
rm -rf "$work/debs/_CPack_Packages"
debs=()
for package in "${packages[@]}"; do
  deb=$(ls "$work/debs/${package}_"*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || fail "no package $package"
  debs+=("$deb")
  echo "   $(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends); Recommends: $(dpkg-deb -f "$deb" Recommends)"
done
dpkg-deb -f "${debs[0]}" Depends | grep -q sqlcipher && fail "meridian-fetch depends on SQLCipher"
dpkg-deb -f "${debs[0]}" Recommends | grep -q libssl || fail "meridian-fetch does not recommend OpenSSL"

[ "$(id -u)" = 0 ] || fail "installing the packages needs root"
# One run at a time on this machine installs packages; the others wait.
exec 9>"${TMPDIR:-/tmp}/meridian-package-check.lock"
flock -w 900 9 || fail "another check kept the package lock"
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    fail "$package is installed already; remove it first"
  fi
done
installed=1
dpkg -i "${debs[@]}" >/dev/null
[ "$(command -v meridian-fetch)" = /usr/bin/meridian-fetch ] || fail "meridian-fetch is not in /usr/bin"
[ -e /usr/share/man/man1/meridian-fetch.1.gz ] || fail "the man page is not installed"
meridian-fetch --version
meridian-fetch -s -o "$work/fetched-deb" "$url"
cmp -s "$work/fetched-deb" "$work/www/file.bin" || fail "the packaged meridian-fetch fetched other bytes"
pkg-config --exists meridian || fail "pkg-config does not find the packaged meridian.pc"
dpkg --purge "${packages[@]}" >/dev/null
installed=0
[ ! -e /usr/bin/meridian-fetch ] || fail "meridian-fetch is left after removing the package"
step "done: installed tree, CMake package, pkg-config and Debian packages work"
