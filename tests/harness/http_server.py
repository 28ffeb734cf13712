#!/usr/bin/python3
"""Loopback download server and forward proxy for the Wine tests.

    http_server.py STATE PORT PROXY_PORT [TLS_PORT]

The server on 127.0.0.1:PORT answers from STATE/routes.json, read again for
every request, so a Windows test steers it by rewriting that file over Z:.
routes.json maps a request target (path with query) to a route:
    {"status": 200, "body_file": "x.bin" | "body": "text",
     "declared_length": N, "omit_length": true, "chunk": n, "pause_ms": m,
     "redirect": "/elsewhere", "hold": true, "stall_after": n}
"hold" reads the request and then says nothing; "stall_after" sends the
head and the first n bytes of the body and then says nothing; either keeps
the connection open until the client gives up (at most HOLD_SECONDS).
Unknown targets get 404 with a small HTML page.

With TLS_PORT, the same routes are served over TLS (at least TLS 1.2) from
the certificates in STATE/tls (tests/harness/make-tls-certs.sh), one port
each:
    TLS_PORT      localhost, issued by the test CA
    TLS_PORT + 1  localhost, issued by a CA nobody trusts
    TLS_PORT + 2  localhost, expired
    TLS_PORT + 3  another host name
    TLS_PORT + 4  accepts the connection and never answers the handshake
The first of them (TLS_PORT) answers as one of the others instead while
STATE/tls-mode holds that one's name (untrusted, expired, wrong-name or
silent), read for every connection, so that a program with a fixed download
base can meet each of them.
A request target in absolute form (https://localhost:PORT/path, as WinHTTP
sends it inside a proxy tunnel) is served as its path.
TLS_PORT also answers a handshake that names the runtime vendor's download
host (aka.ms) with a certificate for that name, issued by the test CA.

The proxy on 127.0.0.1:PROXY_PORT takes absolute-URI requests and CONNECT,
and relays to loopback only: a few test host names resolve to 127.0.0.1,
anything else is refused with 502. A relative target goes to the server.
CONNECT to the vendor's host on port 443 is tunnelled to TLS_PORT, so a
program that asks for the vendor's own addresses through the proxy meets
the loopback TLS server instead.

Every request that arrives is appended to STATE/requests.log as
    <server|proxy|tls> <METHOD> <target> <User-Agent or ->
A TLS handshake sent to the plain server is logged with the method TLS.

Only the standard library; the process ends by itself after an hour so a
lost run cannot leave it behind.
"""

import json
import os
import select
import socket
import socketserver
import ssl
import sys
import threading
import time

LIFETIME_SECONDS = 3600
SOCKET_TIMEOUT_SECONDS = 30
TUNNEL_SECONDS = 60
HOLD_SECONDS = 120
MAX_HEADER_LINE = 65536
MAX_HEADERS = 100
LOOPBACK_NAMES = {"127.0.0.1", "localhost", "tenvik-download.test"}
VENDOR_HOST = "aka.ms"

REASONS = {200: "OK", 204: "No Content", 301: "Moved Permanently", 302: "Found",
           400: "Bad Request", 403: "Forbidden", 404: "Not Found",
           500: "Internal Server Error", 502: "Bad Gateway", 503: "Service Unavailable"}

state_dir = ""
server_port = 0
tls_port = 0
log_lock = threading.Lock()


def log_request(via, method, target, agent):
    line = "%s %s %s %s\n" % (via, method or "-", target or "-", agent or "-")
    with log_lock:
        with open(os.path.join(state_dir, "requests.log"), "a", encoding="utf-8",
                  errors="replace") as log:
            log.write(line)


def load_routes():
    path = os.path.join(state_dir, "routes.json")
    for _ in range(10):
        try:
            with open(path, encoding="utf-8") as f:
                routes = json.load(f)
            return routes if isinstance(routes, dict) else {}
        except FileNotFoundError:
            return {}
        except (json.JSONDecodeError, OSError):
            time.sleep(0.02)  # a writer is between its write and its rename
    return {}


class Request:
    def __init__(self, method, target, version, headers, head_bytes):
        self.method = method
        self.target = target
        self.version = version
        self.headers = headers  # list of (name, value) in arrival order
        self.head_bytes = head_bytes

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return None


def read_request(stream):
    """Reads the request line and headers; None for a closed or bad request,
    the string "TLS" when the client opened with a TLS handshake."""
    first = stream.peek(1)[:1] if hasattr(stream, "peek") else b""
    if first == b"\x16":
        return "TLS"
    line = stream.readline(MAX_HEADER_LINE + 1)
    if not line or len(line) > MAX_HEADER_LINE:
        return None
    head = [line]
    parts = line.decode("latin-1").strip().split()
    if len(parts) != 3:
        return None
    headers = []
    for _ in range(MAX_HEADERS):
        raw = stream.readline(MAX_HEADER_LINE + 1)
        if not raw or len(raw) > MAX_HEADER_LINE:
            return None
        head.append(raw)
        text = raw.decode("latin-1").rstrip("\r\n")
        if not text:
            return Request(parts[0], parts[1], parts[2], headers, b"".join(head))
        name, _, value = text.partition(":")
        headers.append((name.strip(), value.strip()))
    return None


def send_all(sock, data):
    if data:
        sock.sendall(data)


def respond(sock, status, headers, body=b""):
    lines = ["HTTP/1.1 %d %s" % (status, REASONS.get(status, "Status"))]
    lines += ["%s: %s" % pair for pair in headers]
    lines.append("Connection: close")
    send_all(sock, ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body)


def not_found_page(target):
    page = ("<html><head><title>404 Not Found</title></head><body>"
            "<h1>Not Found</h1><p>No route for %s</p></body></html>\n" % target)
    return page.encode("utf-8", "replace")


def route_body(route):
    if "body_file" in route:
        with open(os.path.join(state_dir, route["body_file"]), "rb") as f:
            return f.read()
    return str(route.get("body", "")).encode("utf-8")


def hold(sock):
    """Says nothing until the peer closes or HOLD_SECONDS pass."""
    deadline = time.monotonic() + HOLD_SECONDS
    while time.monotonic() < deadline:
        readable, _, _ = select.select([sock], [], [], 1.0)
        if readable:
            try:
                if not sock.recv(65536):
                    return
            except (OSError, ValueError):
                return


def origin_form(target):
    for scheme in ("http://", "https://"):
        if target.lower().startswith(scheme):
            rest = target[len(scheme):]
            slash = rest.find("/")
            return "/" if slash < 0 else rest[slash:]
    return target


def serve_route(sock, request):
    route = load_routes().get(origin_form(request.target))
    if not isinstance(route, dict):
        page = not_found_page(request.target)
        respond(sock, 404, [("Content-Type", "text/html"), ("Content-Length", len(page))], page)
        return
    if route.get("redirect"):
        status = int(route.get("status", 302))
        respond(sock, status if 300 <= status < 400 else 302,
                [("Location", route["redirect"]), ("Content-Length", 0)])
        return
    if route.get("hold"):
        hold(sock)
        return
    body = route_body(route)
    headers = [("Content-Type", "application/octet-stream")]
    if not route.get("omit_length"):
        headers.append(("Content-Length", route.get("declared_length", len(body))))
    respond(sock, int(route.get("status", 200)), headers)
    if request.method == "HEAD":
        return
    if "stall_after" in route:
        send_all(sock, body[:max(0, int(route["stall_after"]))])
        hold(sock)
        return
    chunk = int(route.get("chunk", 0))
    if chunk <= 0:
        send_all(sock, body)
        return
    pause = max(0, int(route.get("pause_ms", 0))) / 1000.0
    for offset in range(0, len(body), chunk):
        time.sleep(pause)
        send_all(sock, body[offset:offset + chunk])


class ServerHandler(socketserver.StreamRequestHandler):
    via = "server"

    def handle(self):
        self.connection.settimeout(SOCKET_TIMEOUT_SECONDS)
        try:
            request = read_request(self.rfile)
            if request == "TLS":
                log_request(self.via, "TLS", "-", "-")
                return
            if request is None:
                return
            log_request(self.via, request.method, request.target, request.header("User-Agent"))
            serve_route(self.connection, request)
        except (OSError, ValueError):
            pass


def tls_mode():
    try:
        with open(os.path.join(state_dir, "tls-mode"), encoding="utf-8") as f:
            return f.read().strip()
    except OSError:
        return ""


def tls_handler(contexts, name, follows_mode):
    class TlsHandler(ServerHandler):
        via = "tls"

        def setup(self):
            # The handshake runs here, on the connection's own thread, so a
            # client that refuses the certificate holds up nobody else.
            mode = tls_mode() if follows_mode else ""
            if mode == "silent":
                hold(self.request)
                self.request = None
                return
            context = contexts.get(mode) or contexts[name]
            self.request.settimeout(SOCKET_TIMEOUT_SECONDS)
            try:
                self.request = context.wrap_socket(self.request, server_side=True)
            except (OSError, ValueError):
                self.request = None
                return
            super().setup()

        def handle(self):
            if self.request is not None:
                super().handle()

        def finish(self):
            if self.request is not None:
                super().finish()

    return TlsHandler


class SilentHandler(socketserver.BaseRequestHandler):
    def handle(self):
        hold(self.request)


def split_authority(authority, default_port):
    host, _, port = authority.rpartition(":")
    if not host or not port.isdigit():
        return authority, default_port
    return host, int(port)


def upstream_of(request):
    """(host, port, relative target) to forward to, or None when the target
    lies outside loopback."""
    target = request.target
    if target.startswith("/"):
        return "127.0.0.1", server_port, target
    if not target.lower().startswith("http://"):
        return None
    rest = target[len("http://"):]
    slash = rest.find("/")
    authority, path = (rest, "/") if slash < 0 else (rest[:slash], rest[slash:])
    host, port = split_authority(authority, 80)
    if host.lower() not in LOOPBACK_NAMES:
        return None
    return "127.0.0.1", port, path


def relay(source, destination, deadline):
    while time.monotonic() < deadline:
        readable, _, _ = select.select([source], [], [], 1.0)
        if not readable:
            continue
        data = source.recv(65536)
        if not data:
            return
        destination.sendall(data)


def tunnel(client, upstream, deadline):
    sockets = [client, upstream]
    while time.monotonic() < deadline:
        readable, _, _ = select.select(sockets, [], [], 1.0)
        for sock in readable:
            data = sock.recv(65536)
            if not data:
                return
            (upstream if sock is client else client).sendall(data)


class ProxyHandler(socketserver.StreamRequestHandler):
    def handle(self):
        self.connection.settimeout(SOCKET_TIMEOUT_SECONDS)
        try:
            request = read_request(self.rfile)
            if request is None or request == "TLS":
                return
            log_request("proxy", request.method, request.target, request.header("User-Agent"))
            if request.method == "CONNECT":
                self.connect(request)
            else:
                self.forward(request)
        except (OSError, ValueError):
            pass

    def connect(self, request):
        host, port = split_authority(request.target, 443)
        if host.lower() == VENDOR_HOST and port == 443 and tls_port:
            host, port = "127.0.0.1", tls_port
        if host.lower() not in LOOPBACK_NAMES:
            respond(self.connection, 502, [("Content-Length", 0)])
            return
        with socket.create_connection(("127.0.0.1", port), timeout=SOCKET_TIMEOUT_SECONDS) as upstream:
            send_all(self.connection, b"HTTP/1.1 200 Connection established\r\n\r\n")
            tunnel(self.connection, upstream, time.monotonic() + TUNNEL_SECONDS)

    def forward(self, request):
        destination = upstream_of(request)
        if destination is None:
            respond(self.connection, 502, [("Content-Length", 0)])
            return
        host, port, path = destination
        lines = ["%s %s %s" % (request.method, path, request.version)]
        for name, value in request.headers:
            if name.lower() not in ("connection", "proxy-connection", "keep-alive"):
                lines.append("%s: %s" % (name, value))
        lines.append("Connection: close")
        head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
        length = request.header("Content-Length")
        body = self.rfile.read(int(length)) if length and length.isdigit() else b""
        try:
            upstream = socket.create_connection((host, port), timeout=SOCKET_TIMEOUT_SECONDS)
        except OSError:
            respond(self.connection, 502, [("Content-Length", 0)])
            return
        with upstream:
            upstream.sendall(head + body)
            relay(upstream, self.connection, time.monotonic() + TUNNEL_SECONDS)


class Listener(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def main():
    global state_dir, server_port, tls_port
    if len(sys.argv) not in (4, 5):
        sys.stderr.write("usage: http_server.py STATE PORT PROXY_PORT [TLS_PORT]\n")
        return 2
    state_dir = os.path.abspath(sys.argv[1])
    server_port = int(sys.argv[2])
    proxy_port = int(sys.argv[3])
    timer = threading.Timer(LIFETIME_SECONDS, lambda: os._exit(0))
    timer.daemon = True
    timer.start()
    server = Listener(("127.0.0.1", server_port), ServerHandler)
    proxy = Listener(("127.0.0.1", proxy_port), ProxyHandler)
    listeners = [server, proxy]
    if len(sys.argv) == 5:
        tls_port = int(sys.argv[4])
        names = ("localhost", "untrusted", "expired", "wrong-name")
        contexts = {}
        for name in names:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.minimum_version = ssl.TLSVersion.TLSv1_2
            context.load_cert_chain(os.path.join(state_dir, "tls", name + ".pem"))
            contexts[name] = context
        vendor = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        vendor.minimum_version = ssl.TLSVersion.TLSv1_2
        vendor.load_cert_chain(os.path.join(state_dir, "tls", "vendor.pem"))

        def answer_as_vendor(connection, server_name, _context):
            if server_name and server_name.lower() == VENDOR_HOST:
                connection.context = vendor
        contexts["localhost"].sni_callback = answer_as_vendor
        for offset, name in enumerate(names):
            listeners.append(Listener(("127.0.0.1", tls_port + offset), tls_handler(contexts, name, offset == 0)))
        listeners.append(Listener(("127.0.0.1", tls_port + 4), SilentHandler))
    for listener in listeners:
        threading.Thread(target=listener.serve_forever, daemon=True).start()
    with open(os.path.join(state_dir, "ready"), "w") as ready:
        ready.write("%d %d\n" % (server_port, proxy_port))
    sys.stdout.write("listening on 127.0.0.1:%d, proxy on 127.0.0.1:%d\n" % (server_port, proxy_port))
    sys.stdout.flush()
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    sys.exit(main())
