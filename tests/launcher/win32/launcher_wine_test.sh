#!/usr/bin/env bash
# The Windows launcher end to end under Wine: the real meridian.exe in a
# scratch folder with stand-ins for the engine library and the programs it
# starts, a test catalogue served through the host's SQLite ODBC driver, and
# for the update check a content server on 127.0.0.1:9000 on this side.
#
#   launcher_wine_test.sh CASE WINE MERIDIAN_EXE STAND_IN_EXE ENGINES_FOLDER
#
# ENGINES_FOLDER holds one folder per stand-in engine kind (ready, refusing,
# no_entry, wrong_bitness), each with its IDAPI32.DLL. Runs in the Wine prefix
# of the environment (WINEPREFIX); changes the registry key of the engine only
# in the case that needs it, and removes it again.
set -euo pipefail

case_name=$1 wine=$2 launcher=$3 stand_in=$4 engines=$5

export WINEDEBUG=-all MERIDIAN_TEST_ODBC_DRIVER=SQLite3
unset DISPLAY WAYLAND_DISPLAY

scratch=$(mktemp -d "${TMPDIR:-/tmp}/meridian-wine-XXXXXX")
server_pid=
registry_set=
cleanup() {
  set +e
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [[ -n $registry_set ]] && "$wine" reg delete 'HKLM\Software\Borland\Database Engine' /f >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() { echo "FAIL ($case_name): $*" >&2; exit 1; }
expect_eq() {  # what expected actual
  [[ $2 == "$3" ]] || fail "$1: expected [$2], got [$3]"
}

# Windows names of host paths: drive Z: is the host's root.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

app="$scratch/app dir"
elsewhere="$scratch/elsewhere"
mkdir -p "$app" "$elsewhere"
cp "$launcher" "$app/meridian.exe"
cp "$stand_in" "$app/Veritome2010.exe"
cp "$stand_in" "$app/Restart.exe"
# Found only if the launcher's own folder were not searched first.
cp "$stand_in" "$elsewhere/Veritome2010.exe"
cp "$stand_in" "$elsewhere/Restart.exe"

make_catalogue() {
  sqlite3 "$app/Corvane.mdb" "CREATE TABLE tblConfig(fAppName TEXT, fVersion BOOLEAN, fTitle TEXT);
    INSERT INTO tblConfig VALUES ('A', 0, 'Title A'), ('B', 1, 'Title B'), ('C', 0, 'Title C');"
}
flags() { sqlite3 "$app/Corvane.mdb" "SELECT fAppName || '|' || fVersion FROM tblConfig ORDER BY 1" | tr '\n' ' '; }
engine() { cp "$engines/$1/IDAPI32.DLL" "$2/IDAPI32.DLL"; }

run_launcher() {
  local status=0
  (cd "$elsewhere" && timeout 120 "$wine" "$app/meridian.exe") >"$scratch/out" 2>"$scratch/err" || status=$?
  expect_eq "launcher exit code" 0 "$status"
}

# Waits up to a minute for the stand-in `file` to leave its log.
started() {
  local log="$1.log"
  for _ in $(seq 600); do
    [[ -s $log ]] && { cat "$log"; return; }
    sleep 0.1
  done
}

# A started program leaves its log at once, so once the launcher has ended
# and one started program has logged, a short grace suffices before looking
# for the logs of programs that must not have started.
settle() { sleep 1; }
expect_not_started() {
  [[ ! -e "$1.log" ]] || fail "$(basename "$1") was started: $(cat "$1.log")"
}

reader_line="5757|$(windows_path "$elsewhere")"
restart_line="|$(windows_path "$elsewhere")"

expect_reader() {
  expect_eq "reader" "$reader_line" "$(started "$app/Veritome2010.exe")"
  settle
  expect_not_started "$app/Restart.exe"
  expect_not_started "$elsewhere/Veritome2010.exe"
}

expect_restart() {
  expect_eq "Restart.exe" "$restart_line" "$(started "$app/Restart.exe")"
  settle
  expect_not_started "$app/Veritome2010.exe"
  expect_not_started "$elsewhere/Restart.exe"
  expect_eq "messages" "" "$(cat "$scratch/err")"
}

case $case_name in
  engine_beside_launcher)
    # Also: no content server, so the download fails and changes nothing.
    make_catalogue
    engine ready "$app"
    run_launcher
    expect_reader
    expect_eq "messages" "" "$(cat "$scratch/err")"
    expect_eq "flags" "A|0 B|1 C|0 " "$(flags)"
    ;;
  engine_in_current_folder)
    make_catalogue
    engine ready "$elsewhere"
    run_launcher
    expect_reader
    ;;
  engine_through_registry)
    make_catalogue
    mkdir -p "$scratch/engine"
    engine ready "$scratch/engine"
    "$wine" reg add 'HKLM\Software\Borland\Database Engine' /v DLLPATH /t REG_SZ \
      /d "$(windows_path "$scratch/absent"); $(windows_path "$scratch/engine")\\" /f >/dev/null 2>&1
    registry_set=1
    run_launcher
    expect_reader
    ;;
  engine_missing)
    make_catalogue
    run_launcher
    expect_restart
    ;;
  engine_entry_missing | engine_refusing | engine_wrong_bitness)
    make_catalogue
    kind=${case_name#engine_}
    kind=${kind/entry_missing/no_entry}
    engine "$kind" "$app"
    run_launcher
    expect_restart
    expect_eq "flags" "A|0 B|1 C|0 " "$(flags)"
    ;;
  catalogue_missing)
    engine ready "$app"
    run_launcher
    expect_eq "messages" \
      "Meridian: Could not find the catalogue file '$(windows_path "$app")\\Corvane.mdb'" "$(cat "$scratch/err")"
    settle
    expect_not_started "$app/Veritome2010.exe"
    expect_not_started "$app/Restart.exe"
    [[ ! -e "$app/Corvane.mdb" ]] || fail "a catalogue was created"
    ;;
  update_check)
    make_catalogue
    engine ready "$app"
    printf 'A.zip=1*x\r\nB.zip=1*x\r\nC.zip=1*x\r\n' >"$app/Update_Contents.txt"
    # A has a new version, B the same; C is not on the server and keeps its
    # flag; D is not in the catalogue.
    mkdir -p "$scratch/www/Update/Contents"
    printf 'A.zip=2*x\nB.zip=1*x\nD.zip=1*x\n' >"$scratch/www/Update/Contents/Update_Contents.txt"
    python3 -m http.server 9000 --bind 127.0.0.1 --directory "$scratch/www" 2>"$scratch/server.log" &
    server_pid=$!
    for _ in $(seq 100); do
      (exec 3<>/dev/tcp/127.0.0.1/9000) 2>/dev/null && break
      kill -0 "$server_pid" 2>/dev/null || fail "no content server on 127.0.0.1:9000: $(cat "$scratch/server.log")"
      sleep 0.1
    done
    # Still this test's server, not one that held the port before it.
    sleep 0.2
    kill -0 "$server_pid" 2>/dev/null || fail "no content server on 127.0.0.1:9000: $(cat "$scratch/server.log")"
    run_launcher
    expect_reader
    expect_eq "messages" "" "$(cat "$scratch/err")"
    expect_eq "flags" "A|1 B|0 C|0 " "$(flags)"
    grep -c '"GET /Update/Contents/Update_Contents.txt HTTP/1.1" 200' "$scratch/server.log" >"$scratch/requests" || true
    expect_eq "requests" 1 "$(cat "$scratch/requests")"
    ;;
  *)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
