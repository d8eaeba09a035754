#!/usr/bin/env python3
"""Version-file servers for the update-check test, one listening port per behaviour.

Writes "<name> <port>" lines to the file named on the command line once every port listens,
then serves until killed. A request for another path or with another user agent gets 500, so a
wrong request shows as the wrong result. "closed" names a port that nothing listens on.
"""
import http.server
import os
import socket
import sys
import threading
import time

PATH = "/updates/burrowsentry/version.ini"
AGENT = "Orvatek Update Check"

# name: (status, body, delay in seconds, extra headers)
BEHAVIOURS = {
    "newer": (200, "[Update]\r\nVersion=1.8.5.0\r\n", 0, {}),
    "equal": (200, "[Update]\r\nVersion=1.8.4.0\r\n", 0, {}),
    "longer": (200, "Version=1.8.4.0.1", 0, {}),
    "older": (200, "Version=1.8.3.0", 0, {}),
    "noversion": (200, "[Update]\r\nBuild=1\r\n", 0, {}),
    "notfound": (404, "Version=9.9.9.9", 0, {}),
    "redirect": (302, "", 0, {"Location": "REDIRECT_TARGET"}),
    "slow": (200, "Version=9.9.9.9", 10, {}),
    "slowequal": (200, "Version=1.8.4.0", 4, {}),
}


def make_handler(name, ports):
    status, body, delay, headers = BEHAVIOURS[name]

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            agent = self.headers.get("User-Agent", "")
            print(f"{name}: {self.path} [{agent}]", flush=True)
            code, text = status, body
            if self.path != PATH or agent != AGENT:
                code, text = 500, "wrong request"
            time.sleep(delay)
            data = text.encode()
            try:
                self.send_response(code)
                for key, value in headers.items():
                    if value == "REDIRECT_TARGET":
                        value = f"http://127.0.0.1:{ports['newer']}{PATH}"
                    self.send_header(key, value)
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)
            except OSError:
                pass  # the client gave up

        def log_message(self, *args):
            pass

    return Handler


def main():
    ports = {}
    servers = []
    for name in BEHAVIOURS:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), None)
        server.daemon_threads = True
        ports[name] = server.server_address[1]
        servers.append((name, server))
    for name, server in servers:
        server.RequestHandlerClass = make_handler(name, ports)
        threading.Thread(target=server.serve_forever, daemon=True).start()
    # A port that was free a moment ago and that nothing listens on now.
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    ports["closed"] = probe.getsockname()[1]
    probe.close()
    with open(sys.argv[1] + ".tmp", "w") as out:
        for name, port in ports.items():
            out.write(f"{name} {port}\n")
    os.replace(sys.argv[1] + ".tmp", sys.argv[1])
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
