# Shared pieces of the real-peer scripts: the programs they need, a scratch
# folder, free ports, waiting for a server, a dante SOCKS server, and the
# comparison of meridian-fetch ($fetch) with a reference client. Sourced; the
# caller keeps its scratch folder in $work and the peers it starts in the
# array pids.

# Whether the program $1 is on the PATH or in the system's program folders.
have() { command -v "$1" >/dev/null || [[ -x /usr/sbin/$1 || -x /usr/bin/$1 ]]; }

# require PROGRAM[:PACKAGE]...: installs the packages of missing programs when
# run as root with apt-get, then skips the script (exit 77) if any is still
# missing.
require() {
  local need=() p
  for p in "$@"; do have "${p%%:*}" || need+=("${p#*:}"); done
  if ((${#need[@]})) && [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${need[@]}"; } >/dev/null 2>&1
  fi
  for p in "$@"; do have "${p%%:*}" || { echo "SKIP: ${p%%:*} not available"; exit 77; }; done
}

# A scratch folder in $work; at exit the peers in pids end and it goes.
start_scratch() {
  work=$(mktemp -d)
  pids=()
  trap end_scratch EXIT
}
end_scratch() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}

# Prints N loopback ports that are free now, on one line.
free_ports() {
  python3 - "$1" <<'PY'
import socket, sys
socks = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in socks])
for s in socks:
    s.close()
PY
}

# Waits (bounded) until curl, given these arguments, gets an answer.
wait_for() {
  for _ in $(seq 1 100); do
    curl -s -o /dev/null --max-time 1 "$@" && return 0
    sleep 0.1
  done
  echo "FAIL: no answer from $*"
  exit 1
}

# Starts dante (the program $1) as a SOCKS 4 and 5 server without
# authentication on 127.0.0.1:$2, connecting out from $3 (default 127.0.0.1).
start_danted() {
  cat >"$work/danted.conf" <<CONF
logoutput: $work/danted.log
internal: 127.0.0.1 port = $2
external: ${3:-127.0.0.1}
clientmethod: none
socksmethod: none
client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
  command: connect
}
CONF
  "$1" -f "$work/danted.conf" -p "$work/danted.pid" -N 1 >"$work/danted.out" 2>&1 &
  pids+=($!)
}

passed=0
failed=0
# Words put before both clients (env -i ... for a chosen environment).
launch=()

# The output as compared: lines that differ from run to run masked. A script
# whose peers send other such lines defines its own.
mask() { sed -E 's/^(Date: ).*\r$/\1-\r/' "$1"; }

# compare NAME ARGS...: runs meridian-fetch and the reference ($reference,
# default curl) with -s and ARGS; exit codes and masked outputs must match.
compare() {
  local name=$1 reference=${reference:-curl}
  shift
  "${launch[@]}" "$fetch" -s "$@" >"$work/ours" 2>"$work/ours.err"
  local ours=$?
  "${launch[@]}" "$reference" -s "$@" >"$work/theirs" 2>/dev/null
  local theirs=$?
  if [[ $ours -ne $theirs ]]; then
    echo "FAIL $name: exit $ours, $reference exits $theirs"
    head -c 2000 "$work/ours.err" "$work/ours"
    failed=$((failed + 1))
  elif ! cmp -s <(mask "$work/ours") <(mask "$work/theirs"); then
    echo "FAIL $name: output differs from $reference's"
    diff <(mask "$work/ours" | od -c | head -40) <(mask "$work/theirs" | od -c | head -40) | head -20
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}
