"""Stand-in for a company's forwarding proxy, on 127.0.0.1, for the download tests.

It forwards absolute-address requests (GET http://host:port/path) and tunnels CONNECT host:port,
to loopback addresses only; anything else gets 502. A proxy made with ask_password answers every
request with 407 and a sign-in challenge instead. A plain GET /seen (not a proxy request) answers
what it was asked to reach, one request a line, so that a test can tell that a download went
through it. vendor_server.py starts two of them with --proxy-port.
"""

import ipaddress
import select
import socket
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# A tunnel or a forwarded reply with no traffic for this long is closed.
IDLE_S = 60


def loopback_address(host):
    """The loopback address that `host` names, or None: the proxy never leaves this machine."""
    try:
        address = socket.gethostbyname(host)
    except OSError:
        return None
    return address if ipaddress.ip_address(address).is_loopback else None


def relay(a, b):
    """Copies bytes both ways between two sockets until either side closes or all goes quiet."""
    sockets = [a, b]
    while True:
        ready, _, _ = select.select(sockets, [], [], IDLE_S)
        if not ready:
            return
        for source in ready:
            try:
                data = source.recv(65536)
            except OSError:
                return
            if not data:
                return
            (b if source is a else a).sendall(data)


class ProxyHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ProxyStandIn/1.0"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        if not self.path.startswith("http://"):
            text = "".join(line + "\n" for line in self.server.seen) if self.path == "/seen" else ""
            return self.send_text(200 if self.path == "/seen" else 404, text, "text/plain")
        self.server.seen.append("GET " + self.path)
        if self.server.ask_password:
            return self.ask_password()
        url = urllib.parse.urlsplit(self.path)
        upstream = self.open_upstream(url.hostname or "", url.port or 80)
        if upstream is None:
            return
        with upstream:
            headers = "".join(f"{name}: {value}\r\n" for name, value in self.headers.items()
                              if name.lower() not in ("connection", "proxy-connection",
                                                      "proxy-authorization"))
            target = (url.path or "/") + ("?" + url.query if url.query else "")
            upstream.sendall(f"GET {target} HTTP/1.1\r\n{headers}Connection: close\r\n\r\n"
                             .encode("latin-1"))
            self.close_connection = True
            relay(upstream, self.connection)

    def do_CONNECT(self):
        self.server.seen.append("CONNECT " + self.path)
        if self.server.ask_password:
            return self.ask_password()
        host, _, port = self.path.rpartition(":")
        upstream = self.open_upstream(host, int(port) if port.isdigit() else 0)
        if upstream is None:
            return
        with upstream:
            self.send_response(200, "Connection established")
            self.end_headers()
            self.close_connection = True
            relay(upstream, self.connection)

    def open_upstream(self, host, port):
        address = loopback_address(host)
        try:
            if address is None or not 0 < port < 65536:
                raise OSError
            return socket.create_connection((address, port), timeout=IDLE_S)
        except OSError:
            self.send_text(502, "<html><body>Bad gateway</body></html>\n", "text/html")
            return None

    def ask_password(self):
        self.send_text(407, "<html><body>Proxy sign-in needed</body></html>\n", "text/html",
                       ("Proxy-Authenticate", 'Basic realm="CVInstall test proxy"'))

    def send_text(self, status, text, content_type, *headers):
        data = text.encode()
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


def make_proxy(port=0, ask_password=False):
    """A proxy on 127.0.0.1; serve it with serve_forever on a thread of its own."""
    proxy = ThreadingHTTPServer(("127.0.0.1", port), ProxyHandler)
    proxy.daemon_threads = True
    proxy.ask_password = ask_password
    proxy.seen = []
    return proxy
