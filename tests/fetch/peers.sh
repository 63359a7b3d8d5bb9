# Shared pieces of the real-peer scripts: free ports, waiting for a server,
# and a dante SOCKS server. Sourced; the caller keeps its scratch folder in
# $work and the peers it starts in the array pids.

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
