# Shared by scripts/demo.sh and bench/launcher_bench.sh (sourced, not run):
# builds the launcher, makes the demo folders and runs the local content
# server on 127.0.0.1:9000. Expects `root` to be the repository's top folder.

demo_build=$root/build/demo

# Builds the optimised launcher into build/demo.
build_launcher() {
  "$root/scripts/install-deps.sh"
  if ! command -v python3 >/dev/null; then
    echo "Installing: python3"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends python3 >/dev/null
  fi
  # The build's output is shown only when it fails.
  local log
  log=$(mktemp)
  if ! { cmake -S "$root" -B "$demo_build" -DCMAKE_BUILD_TYPE=Release -DMERIDIAN_TESTS=OFF &&
    cmake --build "$demo_build" -j"$(nproc)" --target meridian; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

# Makes the demo folder $1 anew: app/ is the launcher's folder (launcher,
# catalogue, local update list, stand-in reader and Restart.exe) and
# server/Update/Contents/ what the content server publishes.
make_demo_folder() {
  local demo=$1
  local app=$demo/app
  rm -rf "$demo"
  mkdir -p "$app" "$demo/server/Update/Contents"
  cp "$demo_build/src/launcher/meridian" "$app/"

  # The catalogue: an SQLCipher database keyed with the catalogue's password.
  sqlcipher "$app/Corvane.mdb" <<'SQL'
PRAGMA key='7341';
CREATE TABLE tblConfig(fAppName TEXT PRIMARY KEY, fVersion BOOLEAN NOT NULL DEFAULT 0, fTitle TEXT);
INSERT INTO tblConfig VALUES('KoreanBible', 0, 'Korean Bible');
INSERT INTO tblConfig VALUES('Hymnal', 1, 'Hymnal');
INSERT INTO tblConfig VALUES('Commentary', 0, 'Commentary');
INSERT INTO tblConfig VALUES('Atlas', 0, 'Atlas');
SQL

  printf 'KoreanBible.zip=2.1*Korean Bible\r\nHymnal.zip=1.4*Hymnal\r\nCommentary.zip=3.0*Commentary\r\n' \
    >"$app/Update_Contents.txt"
  # The server's list: a new KoreanBible, the same Hymnal and Commentary, and
  # Atlas, which the local list does not know.
  printf 'KoreanBible.zip=2.2*Korean Bible\r\nHymnal.zip=1.4*Hymnal\r\nCommentary.zip=3.0*Commentary\r\nAtlas.zip=1.0*Atlas\r\n' \
    >"$demo/server/Update/Contents/Update_Contents.txt"

  # The stand-in reader notes when it started (for the benchmark), then prints
  # its command line, its current folder and the catalogue's update flags.
  cat >"$app/Veritome2010.exe" <<'STUB'
#!/bin/bash
echo "$EPOCHREALTIME" >"${MERIDIAN_READER_STARTED:-/dev/null}"
[ -n "${MERIDIAN_READER_QUIET:-}" ] && exit 0
echo "  [reader] started as: $0 $*"
echo "  [reader] current folder: $(pwd)"
STUB
  cat >"$app/Restart.exe" <<'STUB'
#!/bin/sh
echo "  [restart] started as: $0 $*"
echo "  [restart] current folder: $(pwd)"
STUB
  chmod +x "$app/Veritome2010.exe" "$app/Restart.exe"
}

# Prints the catalogue's update flags of the demo folder $1.
print_flags() {
  printf "PRAGMA key='7341';\nSELECT fAppName, fVersion FROM tblConfig ORDER BY fAppName;\n" |
    sqlcipher "$1/app/Corvane.mdb" | sed 's/^/  /'
}

port_in_use() { (exec 3<>/dev/tcp/127.0.0.1/9000) 2>/dev/null; }

# Starts the content server for the demo folder $1 on 127.0.0.1:9000 and
# waits until it answers; stop_content_server ends it. Exits with a message
# when the port is taken.
start_content_server() {
  local demo=$1
  if port_in_use; then
    echo "Port 9000 on 127.0.0.1 is already in use; stop the program listening there and run again." >&2
    exit 1
  fi
  python3 -m http.server 9000 --bind 127.0.0.1 --directory "$demo/server" >"$demo/server.log" 2>&1 &
  server_pid=$!
  trap stop_content_server EXIT
  for _ in $(seq 100); do
    port_in_use && return 0
    if ! kill -0 "$server_pid" 2>/dev/null; then
      echo "The content server could not start on 127.0.0.1:9000:" >&2
      cat "$demo/server.log" >&2
      exit 1
    fi
    sleep 0.05
  done
  echo "The content server did not answer on 127.0.0.1:9000." >&2
  exit 1
}

stop_content_server() {
  if [ -n "${server_pid:-}" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
  fi
}
