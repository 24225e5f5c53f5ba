#!/usr/bin/env python3
"""A small news site on loopback for demonstrating the agent.

    tools/demo-site.py [--port N] [--port-file FILE] [--period SECONDS]

Serves the news list at /.newsupdate and brings out a new edition every period (a minute by
default): a new epoch, a new Last-Modified time and a few entries whose addresses point at
article pages of this site. Every request is logged on stdout as one line:
    <time> <method> <path> <status>
"""

import argparse
import email.utils
import html
import http.server
import pathlib
import sys
import time

NEWS_PATH = "/.newsupdate"
# Sites write their lists in UTF-8; a few headlines show titles beyond ASCII.
HEADLINES = [
    "Harbour bridge reopens after three months of repairs",
    "Straßenbahn fährt wieder über die Brücke",
    "Νέο λιμάνι για τα πλοία της γραμμής",
    "港の新しい橋が開通 🌉",
    "Council approves the winter budget",
    "Night trains return on the coastal line",
    "Local team wins the regional cup",
    "New library wing opens its doors",
    "Storm warning for the northern valleys",
    "Market hall gets a solar roof",
    "School choir & orchestra tour the islands",
    "Museum shows a thousand years of maps",
    "Ferry timetable changes from Monday",
    "Farmers report a record apple harvest",
    "City starts a free bicycle scheme",
]
ENTRIES_PER_EDITION = 4


class Edition:
    def __init__(self, number, started, port):
        self.number = number
        self.last_modified = email.utils.formatdate(started, usegmt=True)
        self.epoch = f"edition-{number}"
        day = time.strftime("%Y-%m-%d", time.gmtime(started))
        self.entries = []
        for offset in range(ENTRIES_PER_EDITION):
            index = (number + offset) % len(HEADLINES)
            url = f"http://127.0.0.1:{port}/articles/{number}-{index}.html"
            self.entries.append((day, HEADLINES[index], url))

    def document(self):
        lines = [self.epoch]
        for day, title, url in self.entries:
            lines += [f"{day} {title}", url]
        return ("\n".join(lines) + "\n").encode("utf-8")


class Site:
    def __init__(self, port, period):
        self.port = port
        self.period = period
        self.started = time.time()

    def current(self):
        number = int((time.time() - self.started) // self.period)
        return Edition(number, self.started + number * self.period, self.port)


class Handler(http.server.BaseHTTPRequestHandler):
    site = None

    def do_HEAD(self):
        self.answer(with_body=False)

    def do_GET(self):
        self.answer(with_body=True)

    def answer(self, with_body):
        edition = self.site.current()
        if self.path == NEWS_PATH:
            body, kind = edition.document(), "text/plain"
        elif self.path.startswith("/articles/") or self.path == "/":
            body, kind = self.page(self.path), "text/html"
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Last-Modified", edition.last_modified)
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def page(self, path):
        title = "Demo news" if path == "/" else f"Article {html.escape(path[10:-5])}"
        return (f"<html><head><title>{title}</title></head>"
                f"<body><h1>{title}</h1><p>A page of the demo news site.</p></body></html>"
                ).encode("latin-1")

    def log_request(self, code="-", size="-"):
        stamp = time.strftime("%H:%M:%S")
        print(f"{stamp} {self.command} {self.path} {code}", flush=True)

    def log_message(self, format, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--period", type=float, default=60.0)
    options = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    port = server.server_address[1]
    Handler.site = Site(port, options.period)
    if options.port_file:
        pathlib.Path(options.port_file).write_text(f"{port}\n")
    print(f"demo site: http://127.0.0.1:{port}{NEWS_PATH}, a new edition every "
          f"{options.period:g} s", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
