"""A loopback server that answers each request with what it received, and
redirects on request: the peer of proxy_redirect_peers.sh.

/r/CODE answers CODE with "Location: /echo", /r/CODE/PATH with "Location:
/PATH"; /to?URL answers 302 with "Location: URL".
Every other path answers 200 with the method, path, the client's address,
the Content-Type (unless it is the "text/html" some clients send unasked),
Content-Length, Via and the body received.

Usage: echo_server.py PORT [CERT_FILE KEY_FILE]  (with a certificate: https)
"""
import ssl
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_BODY = 1 << 20


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def answer(self):
        length = min(int(self.headers.get("Content-Length") or 0), MAX_BODY)
        body = self.rfile.read(length) if length else b""
        parts = self.path.split("/")
        if len(parts) > 2 and parts[1] == "r" and parts[2].isdigit():
            rest = "/".join(parts[3:])
            self.redirect(int(parts[2]), "/" + rest if rest else "/echo")
            return
        if self.path.startswith("/to?"):
            self.redirect(302, self.path[4:])
            return
        lines = [self.command + " " + self.path, "from: " + self.client_address[0]]
        for name in ("Content-Type", "Content-Length", "Via"):
            value = self.headers.get(name)
            if value is not None and not (name == "Content-Type" and value == "text/html"):
                lines.append(name + ": " + value)
        lines.append("body: " + body.decode("latin-1"))
        out = ("\n".join(lines) + "\n").encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(out)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(out)

    def redirect(self, code, location):
        self.send_response(code)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    do_GET = do_POST = do_PUT = do_DELETE = do_HEAD = do_OPTIONS = answer

    def log_message(self, *args):
        pass

    def version_string(self):
        return "echo"


server = ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler)
if len(sys.argv) > 3:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[2], sys.argv[3])
    server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
