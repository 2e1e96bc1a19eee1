#!/usr/bin/env python3
"""Loopback servers for the internet tests and benchmark.

    loopback_servers.py origin [CERT KEY]   HTTP (or HTTPS with CERT and KEY)
    loopback_servers.py proxy ORIGIN_PORT   forwarding proxy to 127.0.0.1:ORIGIN_PORT

Each binds 127.0.0.1 on a port the system picks, prints "PORT <n>" on one
line once it accepts connections, and serves until it is terminated or its
parent process ends.

Origin paths:
    /bytes/N      N bytes, byte i being i % 256, with a Content-Length
    /chunked/N    the same bytes in chunked transfer encoding
    /status/404   a 404 page whose body is "missing page"
    /headers      the request line and headers as the body
    /short        announces 10000 bytes, sends 5000, closes the connection
    /redirect     302 to /bytes/10
    /stall        announces 10000 bytes, sends 5000, then neither sends nor closes
    /silent       never answers
"""
import http.server
import os
import socket
import socketserver
import ssl
import sys
import threading
import time

PATTERN = bytes(range(256)) * 256  # 64 KiB, whole cycles


class Origin(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, status, body, length=None):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        kind, _, n = self.path[1:].partition("/")
        if kind in ("bytes", "chunked") and n.isdigit():
            data = (PATTERN * (int(n) // len(PATTERN) + 1))[: int(n)]
            if kind == "bytes":
                return self.send_body(200, data)
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for i in range(0, len(data), 1000):
                piece = data[i : i + 1000]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
        elif self.path == "/status/404":
            self.send_body(404, b"missing page")
        elif self.path == "/headers":
            self.send_body(200, (self.requestline + "\r\n" + str(self.headers)).encode("latin-1"))
        elif self.path in ("/short", "/stall"):
            self.send_body(200, PATTERN[:5000], 10000)
            self.wfile.flush()
            if self.path == "/stall":
                time.sleep(3600)  # the process ends first
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
        elif self.path == "/silent":
            time.sleep(3600)  # the process ends first
        elif self.path == "/redirect":
            self.send_response(302)
            self.send_header("Location", "/bytes/10")
            self.send_header("Content-Length", "0")
            self.end_headers()
        else:
            self.send_body(400, b"unknown path")


class Proxy(socketserver.BaseRequestHandler):
    """Forwards one request to the origin, marking it with a Via header."""

    origin_port = 0

    def handle(self):
        head = b""
        while b"\r\n\r\n" not in head:
            data = self.request.recv(65536)
            if not data:
                return
            head += data
        head, _, rest = head.partition(b"\r\n\r\n")
        lines = head.split(b"\r\n")
        method, target, version = lines[0].split(b" ", 2)
        if b"://" in target:  # absolute form: keep only the path
            after = target.split(b"://", 1)[1]
            target = b"/" + after.split(b"/", 1)[1] if b"/" in after else b"/"
        headers = [
            h
            for h in lines[1:]
            if not h.lower().startswith((b"connection:", b"proxy-connection:"))
        ]
        headers += [b"Via: 1.1 orvtestproxy", b"Connection: close"]
        request = b" ".join([method, target, version]) + b"\r\n"
        request += b"\r\n".join(headers) + b"\r\n\r\n" + rest
        with socket.create_connection(("127.0.0.1", self.origin_port)) as upstream:
            upstream.sendall(request)
            while True:
                data = upstream.recv(65536)
                if not data:
                    break
                self.request.sendall(data)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # refused handshakes and dropped clients are expected


def main():
    mode = sys.argv[1]
    if mode == "origin":
        server = Server(("127.0.0.1", 0), Origin)
        if len(sys.argv) == 4:  # TLS, its handshake in the request's thread at the first read
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(sys.argv[2], sys.argv[3])
            server.socket = context.wrap_socket(
                server.socket, server_side=True, do_handshake_on_connect=False
            )
    elif mode == "proxy":
        Proxy.origin_port = int(sys.argv[2])
        server = Server(("127.0.0.1", 0), Proxy)
    else:
        sys.exit("unknown mode " + mode)
    print("PORT", server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    parent = os.getppid()
    while os.getppid() == parent:  # never outlives the tests
        time.sleep(0.5)


if __name__ == "__main__":
    main()
