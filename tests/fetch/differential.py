#!/usr/bin/env python3
"""meridian-fetch beside curl against the same generated responses.

A loopback server plays responses generated from a fixed seed: each body
framing (Content-Length, chunked, until close), body sizes around the
client's buffer sizes, several patterns of the pieces the bytes are written
in, statuses 200, 3xx and 4xx/5xx, and a few misbehaving replies. Each case
runs both clients with the same options (a mix of -f, -i and -L) and compares
standard output byte for byte and the exit code. Standard error is not
compared (message wording differs by design).

Differences that are known and accepted are listed in KNOWN_DIFFERENCES with
their reason and the expected result; faults awaiting their fix are listed in
PENDING. A differing case that no PENDING entry covers fails the run; the
summary counts, for each PENDING entry, the cases that differ and those that
match, so that an entry whose cases all match can go.

Usage: differential.py MERIDIAN_FETCH [--seed N] [--cases N] [--only ID,...]
                       [--keep DIR] [--jobs N] [--curl PATH]
Exits 77 (skipped) when curl is missing.
"""

import argparse
import concurrent.futures
import os
import random
import shutil
import socket
import socketserver
import subprocess
import sys
import threading
import time

# Every case must end; a client that hangs is cut here (and differs).
CLIENT_TIME_LIMIT = 30

# The client's buffer sizes: the line limit, a receive, the output buffer.
BOUNDARIES = [4096, 16384, 32768, 65536, 131072, 262144]
SIZES = [0, 1, 2, 100] + [b + d for b in BOUNDARIES for d in (-1, 0, 1)] + [300000]
STATUSES = [(200, "OK"), (200, "OK"), (200, "OK"), (301, "Moved Permanently"),
            (302, "Found"), (303, "See Other"), (307, "Temporary Redirect"),
            (404, "Not Found"), (403, "Forbidden"), (500, "Internal Server Error")]
FRAMINGS = ["length", "chunked", "close"]
PIECES = ["whole", "pause-after-head", "fixed-1000", "fixed-4096", "random", "one-byte-head"]
FLAG_SETS = [[], ["-i"], ["-f"], ["-L"], ["-i", "-f"], ["-i", "-L"], ["-f", "-L"], ["-i", "-f", "-L"]]

# Replies that break the protocol, each with the status line or header that
# breaks it. They run with every flag set, on a small body.
MISBEHAVIOURS = {
    "not-http": "text from another service\r\n",
    "no-version": "FOO BAR\r\n",
    "two-digit-status": "HTTP/1.1 20 OK\r\n",
    "headers-no-status": "Content-Length: 5\r\n\r\nhello",
    "negative-length": "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n",
    "plus-length": "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\n",
    "huge-length": "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\n",
    "nochunked": "HTTP/1.1 200 OK\r\nTransfer-Encoding: nochunked\r\nConnection: close\r\n\r\n",
    "redirect-no-location": "HTTP/1.1 302 Found\r\nContent-Length: 6\r\n\r\nmoved\n",
    "empty-lines-first": "\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nhello\n",
    "head-cut": "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n",
}

# Accepted differences: (predicate over the case, expectation, reason). The
# expectation gives meridian-fetch's exit code and output (None: the output is
# not compared) in place of curl's.
HEAD_AFTER_EMPTY_LINES = b"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n"
KNOWN_DIFFERENCES = [
    (lambda c: c.misbehaviour in ("not-http", "no-version", "two-digit-status", "headers-no-status"),
     lambda c: (8, b""),
     "curl takes a reply without a status line for HTTP/0.9 and refuses it with "
     "exit 1; meridian-fetch names it what it is, a protocol error (exit 8)"),
    (lambda c: c.misbehaviour == "empty-lines-first",
     lambda c: (0, (HEAD_AFTER_EMPTY_LINES if "-i" in c.flags else b"") + b"hello\n"),
     "a client skips empty lines before the status line (RFC 9112 section 2.2); "
     "curl refuses the reply as HTTP/0.9"),
    (lambda c: c.misbehaviour in ("plus-length", "negative-length", "huge-length"),
     lambda c: (8, b""),
     "a Content-Length that is not a plain decimal of at most 2^63 - 1 is a "
     "protocol error, refused before any of the head is written; curl reads "
     "\"+5\" as 5 (exit 18), takes a length past 2^63 - 1 as none (exit 0), and "
     "writes the head under -i before refusing \"-5\""),
    (lambda c: c.misbehaviour == "head-cut",
     lambda c: (18, b""),
     "a head that the close cuts short before its empty line is no answer: "
     "exit 18, as curl gives when such a head announced a length; without one "
     "curl takes the lines for a whole head and exits 0"),
]

# Faults awaiting their fix: (predicate, what is wrong); the first entry that
# covers a case names its fault. A listed case that differs is reported without failing the run; the summary counts, for each
# entry, the cases that match already, so that a fixed entry can go.
PENDING = []


class Case:
    def __init__(self, ident, framing, size, status, pieces, flags, seed, misbehaviour=None):
        self.ident = ident
        self.framing = framing
        self.size = size
        self.status = status
        self.pieces = pieces
        self.flags = flags
        self.seed = seed
        self.misbehaviour = misbehaviour

    def describe(self):
        if self.misbehaviour:
            return "%s %s" % (self.misbehaviour, " ".join(self.flags) or "-")
        return "%s %d %d %s %s" % (self.framing, self.size, self.status[0], self.pieces,
                                   " ".join(self.flags) or "-")

    def rng(self):
        return random.Random(self.seed)


def make_cases(seed, count):
    rng = random.Random(seed)
    cases = []
    misbehaviours = sorted(MISBEHAVIOURS)
    mis_count = len(misbehaviours) * 2
    for i in range(max(count - mis_count, 0)):
        framing = FRAMINGS[i % len(FRAMINGS)]
        flags = FLAG_SETS[(i // len(FRAMINGS)) % len(FLAG_SETS)]
        size = SIZES[(i // 3 + rng.randrange(4)) % len(SIZES)] if rng.random() < 0.8 else rng.randrange(300000)
        status = rng.choice(STATUSES)
        pieces = rng.choice(PIECES)
        cases.append(Case(i, framing, size, status, pieces, flags, rng.getrandbits(32)))
    for j in range(mis_count):
        name = misbehaviours[j % len(misbehaviours)]
        flags = FLAG_SETS[(j * 3) % len(FLAG_SETS)] if j < len(misbehaviours) else ["-f", "-L"]
        cases.append(Case(len(cases), "close", 0, (200, "OK"), "whole", flags, rng.getrandbits(32), name))
    return cases


def chunk_sizes(rng, size):
    style = rng.choice(["one", "fixed", "random"])
    if style == "one" or size == 0:
        return [size] if size else []
    if style == "fixed":
        step = rng.choice([1, 100, 4096, 32768])
        if size // step > 20000:
            step = max(size // 20000, 1)
        return [min(step, size - o) for o in range(0, size, step)]
    sizes, left = [], size
    while left:
        n = min(left, rng.randrange(1, 70000))
        sizes.append(n)
        left -= n
    return sizes


def response_pieces(case, port):
    """The bytes of the case's first response, as the pieces to write, and
    whether the connection closes after them."""
    rng = case.rng()
    if case.misbehaviour:
        return [MISBEHAVIOURS[case.misbehaviour].encode()], True
    body = rng.randbytes(case.size)
    code, reason = case.status
    head = ["HTTP/1.1 %d %s" % (code, reason), "Content-Type: application/octet-stream"]
    if 300 <= code < 400:
        head.append("Location: http://127.0.0.1:%d/final/%d" % (port, case.ident))
    if case.framing == "length":
        head.append("Content-Length: %d" % len(body))
        payload = body
    elif case.framing == "chunked":
        head.append("Transfer-Encoding: chunked")
        out, pos = [], 0
        for n in chunk_sizes(rng, len(body)):
            out.append(b"%x\r\n" % n + body[pos:pos + n] + b"\r\n")
            pos += n
        payload = b"".join(out) + b"0\r\n\r\n"
    else:
        head.append("Connection: close")
        payload = body
    head_bytes = ("\r\n".join(head) + "\r\n\r\n").encode()
    data = head_bytes + payload
    if case.pieces == "whole":
        pieces = [data]
    elif case.pieces == "pause-after-head":
        pieces = [head_bytes, None, payload]
    elif case.pieces == "one-byte-head":
        pieces = [bytes([b]) for b in head_bytes] + [None, payload]
    elif case.pieces.startswith("fixed-"):
        step = int(case.pieces[6:])
        pieces = [data[o:o + step] for o in range(0, len(data), step)]
    else:
        # Random cuts, with a short pause at a few of them so that the
        # client's reads really end there.
        pieces, pos = [], 0
        while pos < len(data):
            n = rng.randrange(1, 40000)
            pieces.append(data[pos:pos + n])
            pos += n
            if rng.random() < 0.1 and pieces.count(None) < 8:
                pieces.append(None)
    return pieces, case.framing == "close"


FINAL_BODY = b"the page a redirect leads to\n"


def final_response():
    return (b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n"
            % len(FINAL_BODY)) + FINAL_BODY


class Handler(socketserver.BaseRequestHandler):
    MAX_HEAD = 65536
    MAX_REQUESTS = 20

    def handle(self):
        sock = self.request
        sock.settimeout(20)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        buffered = b""
        for _ in range(self.MAX_REQUESTS):
            while b"\r\n\r\n" not in buffered:
                if len(buffered) > self.MAX_HEAD:
                    return
                try:
                    more = sock.recv(65536)
                except OSError:
                    return
                if not more:
                    return
                buffered += more
            head, buffered = buffered.split(b"\r\n\r\n", 1)
            parts = head.split(b"\r\n", 1)[0].split(b" ")
            path = parts[1].decode("latin-1") if len(parts) > 1 else ""
            try:
                if not self.answer(sock, path):
                    return
            except OSError:
                return

    def answer(self, sock, path):
        server = self.server
        segments = path.strip("/").split("/")
        if len(segments) != 2 or not segments[1].isdigit() or int(segments[1]) >= len(server.cases):
            sock.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return False
        case = server.cases[int(segments[1])]
        if segments[0] == "final":
            sock.sendall(final_response())
            return True
        pieces, close = response_pieces(case, server.server_address[1])
        for piece in pieces:
            if piece is None:
                time.sleep(0.005)
            else:
                sock.sendall(piece)
        return not close


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def run_client(argv, timeout):
    try:
        done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        return done.returncode, done.stdout, done.stderr
    except subprocess.TimeoutExpired:
        return "timeout", b"", b""


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def expectation(case, theirs):
    """meridian-fetch's expected exit code and output (None: not compared)."""
    for predicate, expected, _ in KNOWN_DIFFERENCES:
        if predicate(case):
            return expected(case)
    return theirs[0], theirs[1]


def pending_reason(case):
    for predicate, reason in PENDING:
        if predicate(case):
            return reason
    return ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("fetch")
    parser.add_argument("--seed", type=int, default=20240612)
    parser.add_argument("--cases", type=int, default=320)
    parser.add_argument("--only", default="")
    parser.add_argument("--keep", default="")
    parser.add_argument("--jobs", type=int, default=4)
    parser.add_argument("--curl", default=shutil.which("curl") or "")
    args = parser.parse_args()
    if not args.curl:
        print("SKIP: curl not available")
        return 77

    cases = make_cases(args.seed, args.cases)
    chosen = cases
    if args.only:
        chosen = [cases[int(i)] for i in args.only.split(",")]

    server = Server(("127.0.0.1", 0), Handler)
    server.cases = cases
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    port = server.server_address[1]

    def run(case):
        url = "http://127.0.0.1:%d/case/%d" % (port, case.ident)
        ours = run_client([args.fetch, "-s"] + case.flags + [url], CLIENT_TIME_LIMIT)
        theirs = run_client([args.curl, "-s"] + case.flags + [url], CLIENT_TIME_LIMIT)
        return case, ours, theirs

    matched, failed, known = 0, 0, 0
    pending = {reason: [0, 0] for _, reason in PENDING}  # reason: [differ, match]
    try:
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            for case, ours, theirs in pool.map(run, chosen):
                code, out = expectation(case, theirs)
                reason = pending_reason(case)
                same = ours[0] == code and (out is None or ours[1] == out)
                if same:
                    matched += 1
                    known += (code, out) != (theirs[0], theirs[1])
                    if reason:
                        pending[reason][1] += 1
                    continue
                if reason:
                    pending[reason][0] += 1
                else:
                    failed += 1
                out = out or b""
                at = first_difference(ours[1], out)
                line = ("%s case %d (%s): exit %s, expected %s; output %d bytes, expected %d, "
                        "first difference at %d"
                        % ("PENDING" if reason else "FAIL", case.ident, case.describe(),
                           ours[0], code, len(ours[1]), len(out), at))
                if reason:
                    line += " [%s]" % reason
                err = ours[2].decode("latin-1").strip().splitlines()
                if err:
                    line += " | " + err[-1][:160]
                print(line)
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    for who, data in (("ours", ours[1]), ("expected", out)):
                        with open(os.path.join(args.keep, "%d.%s" % (case.ident, who)), "wb") as f:
                            f.write(data)
    finally:
        server.shutdown()
        server.server_close()

    for reason, (differ, match) in pending.items():
        if differ or match:
            print("pending: %d differ, %d match: %s" % (differ, match, reason))
    print("%d cases (seed %d): %d as expected (%d of them by a listed difference), "
          "%d pending faults, %d new differences"
          % (len(chosen), args.seed, matched, known, sum(d for d, _ in pending.values()), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
