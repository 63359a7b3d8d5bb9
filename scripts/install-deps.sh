#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, when
# any of them is missing. Runs as root on Debian 12.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev
  libssl-dev openssl
  libsqlcipher-dev libsqlcipher0 sqlcipher
  libpsl-dev
  zlib1g-dev
  nginx tinyproxy curl python3
  dante-server microsocks
  # A test hosts file for the IPv6 real-peer tests.
  libnss-wrapper
  # The Windows build: mingw-w64 cross compilers, Wine to run the tests,
  # GoogleTest's sources, and ODBC with the SQLite driver for the catalogue.
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine64 googletest
  unixodbc odbcinst libsqliteodbc
  # The Windows launcher's tests make and read their catalogue with it.
  sqlite3
  apache2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
