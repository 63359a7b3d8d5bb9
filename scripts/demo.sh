#!/usr/bin/env bash
# Builds the launcher and shows its whole job in a demo folder (demo/): the
# launcher's own folder with a catalogue of a few modules, the local update
# list and stand-in programs for the reader and "Restart.exe", and a local
# content server on 127.0.0.1:9000 that publishes a newer update list. The
# launcher compares the lists, flags the modules offered in another version
# and starts the reader. Two short runs follow: a missing catalogue and an
# engine that refuses to start. Safe to run again: the demo folder is made
# anew each time and the server is stopped on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/demo_setup.sh

build_launcher
demo=$root/demo
app=$demo/app
make_demo_folder "$demo"
mkdir -p "$demo/elsewhere" "$demo/refusing-engine"

# An engine library whose init answers 1, for the last run.
printf 'extern "C" int sqlite3_initialize() { return 1; }\n' |
  g++ -shared -fPIC -x c++ - -o "$demo/refusing-engine/libsqlcipher.so.0"

# No registry file: the engine is found by the dynamic loader. No display: the
# error box goes to standard error only.
export MERIDIAN_REGISTRY_FILE=$demo/no-registry.ini
unset DISPLAY WAYLAND_DISPLAY

# Output is piped so that each run shows everything, including what the
# started program prints after the launcher has ended.
run() {
  local folder=$1
  echo "\$ cd ${folder#"$root"/} && ${app#"$root"/}/meridian"
  (cd "$folder" && "$app/meridian") 2>&1 | cat
  echo "  (launcher exit code ${PIPESTATUS[0]})"
}

show_list() {
  echo "$1"
  tr -d '\r' <"$2" | sed 's/^/     /'
}

echo "== The launcher's folder, ${app#"$root"/}:"
ls -1 "$app" | sed 's/^/  /'
show_list "   Update_Contents.txt, the local copy of the update list:" "$app/Update_Contents.txt"
echo

start_content_server "$demo"
echo "== The content server on 127.0.0.1:9000 (python3 -m http.server over ${demo#"$root"/}/server)"
show_list "   /Update/Contents/Update_Contents.txt:" "$demo/server/Update/Contents/Update_Contents.txt"
echo

echo "== Catalogue update flags before (fAppName|fVersion):"
print_flags "$demo"
echo
echo "== 1. The whole job, started from another current folder"
run "$demo/elsewhere"
echo "  [server] $(grep -o '"GET [^"]*"' "$demo/server.log" | tail -n 1)"
echo
echo "== Catalogue update flags after (KoreanBible has a new version, Hymnal and"
echo "   Commentary are current, Atlas is not in the local list and keeps its flag):"
print_flags "$demo"
echo
stop_content_server

echo "== 2. The catalogue is missing: one error message, no reader"
mv "$app/Corvane.mdb" "$app/Corvane.mdb.away"
run "$demo/elsewhere"
mv "$app/Corvane.mdb.away" "$app/Corvane.mdb"
echo

echo "== 3. The database engine refuses to start: Restart.exe instead"
run "$demo/refusing-engine"
