"""A scriptable news site on loopback that records every request it receives.

Each connection carries one request; the answer depends on the method and on the behaviour
set for it ("ok", "slow", "error", "close"), and the connection is closed after it, as an
HTTP/1.0 server does.
"""

import socket
import threading
import time


class Request:
    def __init__(self, arrived, raw):
        self.arrived = arrived
        self.raw = raw
        first_line = raw.split(b"\n", 1)[0].decode("latin-1").strip()
        parts = first_line.split(" ")
        self.method = parts[0] if parts else ""
        self.target = parts[1] if len(parts) > 1 else ""

    def __repr__(self):
        return f"Request({self.method} {self.target} at {self.arrived:.3f})"


class NewsServer:
    def __init__(self):
        self.last_modified = "Mon, 07 Dec 2026 05:00:00 GMT"
        self.document = b""
        # Behaviour per method: "ok", "slow" (the same answer after slow_seconds), "error"
        # (a 500 answer) or "close" (close without a byte).
        self.behaviour = {"HEAD": "ok", "GET": "ok"}
        self.slow_seconds = 3
        self.requests = []
        self._lock = threading.Lock()
        self._stopping = threading.Event()
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind(("127.0.0.1", 0))
        self._listener.listen(16)
        self._listener.settimeout(0.2)
        self.port = self._listener.getsockname()[1]
        self._thread = threading.Thread(target=self._accept_loop, daemon=True)
        self._thread.start()

    def set_news(self, epoch, entries, last_modified=None):
        """entries: (date, title, url) triples, written as the two-line form."""
        lines = [epoch]
        for date, title, url in entries:
            lines.append(f"{date} {title}")
            lines.append(url)
        self.document = ("\n".join(lines) + "\n").encode("latin-1")
        if last_modified is not None:
            self.last_modified = last_modified

    def methods(self):
        with self._lock:
            return [request.method for request in self.requests]

    def wait_requests(self, count, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self._lock:
                if len(self.requests) >= count:
                    return list(self.requests)
            time.sleep(0.05)
        with self._lock:
            return list(self.requests)

    def stop(self):
        self._stopping.set()
        self._thread.join(5)
        self._listener.close()

    def _accept_loop(self):
        while not self._stopping.is_set():
            try:
                connection, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        with connection:
            raw = self._read_request(connection)
            request = Request(time.monotonic(), raw)
            with self._lock:
                self.requests.append(request)
            behaviour = self.behaviour.get(request.method, "ok")
            if behaviour == "error":
                connection.sendall(b"HTTP/1.0 500 Internal Server Error\r\n\r\n")
            elif behaviour in ("ok", "slow"):
                if behaviour == "slow":
                    self._stopping.wait(self.slow_seconds)
                connection.sendall(self._answer(request.method))

    def _read_request(self, connection):
        connection.settimeout(5)
        raw = b""
        try:
            while b"\n\n" not in raw and b"\r\n\r\n" not in raw:
                chunk = connection.recv(4096)
                if not chunk:
                    break
                raw += chunk
        except socket.timeout:
            pass
        return raw

    def _answer(self, method):
        head = (
            "HTTP/1.0 200 OK\r\n"
            f"Last-Modified: {self.last_modified}\r\n"
            "Content-Type: text/plain\r\n"
            f"Content-Length: {len(self.document)}\r\n\r\n"
        ).encode("latin-1")
        return head if method == "HEAD" else head + self.document
