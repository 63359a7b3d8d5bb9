#!/usr/bin/env bash
# Builds the launcher and shows it at work in a demo folder (demo/): the
# launcher's own folder with a catalogue of a few modules, the local update
# list and two stand-in programs for the reader and "Restart.exe", which print
# how they were started. Three runs follow: the normal road started from
# another current folder, a missing catalogue, and an engine that refuses to
# start. Safe to run again: the demo folder is made anew each time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

build=build/demo
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMERIDIAN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target meridian >/dev/null

demo=$root/demo
app=$demo/app
rm -rf "$demo"
mkdir -p "$app" "$demo/elsewhere" "$demo/refusing-engine"
cp "$build/src/launcher/meridian" "$app/"

# The catalogue: an SQLCipher database keyed with the catalogue's password.
sqlcipher "$app/Corvane.mdb" <<'SQL'
PRAGMA key='7341';
CREATE TABLE tblConfig(fAppName TEXT PRIMARY KEY, fVersion BOOLEAN NOT NULL DEFAULT 0, fTitle TEXT);
INSERT INTO tblConfig VALUES('KoreanBible', 0, 'Korean Bible');
INSERT INTO tblConfig VALUES('Hymnal', 1, 'Hymnal');
INSERT INTO tblConfig VALUES('Commentary', 0, 'Commentary');
SQL

printf 'KoreanBible.zip=2.1*Korean Bible\r\nHymnal.zip=1.4*Hymnal\r\nCommentary.zip=3.0*Commentary\r\n' \
  >"$app/Update_Contents.txt"

# The stand-in reader prints its command line, its current folder and the
# catalogue's update flags.
cat >"$app/Veritome2010.exe" <<'STUB'
#!/bin/sh
here=$(cd "$(dirname "$0")" && pwd)
echo "  [reader] started as: $0 $*"
echo "  [reader] current folder: $(pwd)"
echo "  [reader] catalogue flags (fAppName|fVersion):"
printf "PRAGMA key='7341';\nSELECT fAppName, fVersion FROM tblConfig ORDER BY fAppName;\n" |
  sqlcipher "$here/Corvane.mdb" | sed 's/^/  [reader]   /'
STUB
cat >"$app/Restart.exe" <<'STUB'
#!/bin/sh
echo "  [restart] started as: $0 $*"
echo "  [restart] current folder: $(pwd)"
STUB
chmod +x "$app/Veritome2010.exe" "$app/Restart.exe"

# An engine library whose init answers 1, for the third run.
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
  echo
}

echo "== The launcher's folder, ${app#"$root"/}:"
ls -1 "$app" | sed 's/^/  /'
echo "   Update_Contents.txt, the local copy of the update list:"
tr -d '\r' <"$app/Update_Contents.txt" | sed 's/^/     /'
echo

echo "== 1. Normal road, started from another current folder"
run "$demo/elsewhere"

echo "== 2. The catalogue is missing: one error message, no reader"
mv "$app/Corvane.mdb" "$app/Corvane.mdb.away"
run "$demo/elsewhere"
mv "$app/Corvane.mdb.away" "$app/Corvane.mdb"

echo "== 3. The database engine refuses to start: Restart.exe instead"
run "$demo/refusing-engine"
