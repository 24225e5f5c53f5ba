"""A scriptable news site on loopback that records every request it receives.

Each connection carries one request; the answer depends on the method and on the behaviour
set for it ("ok", "slow", "error", "close"), and the connection is closed after it, as an
HTTP/1.0 server does.
"""

from fault_server import FaultServer, Request, news_document


class NewsServer(FaultServer):
    def __init__(self):
        super().__init__()
        self.last_modified = "Mon, 07 Dec 2026 05:00:00 GMT"
        self.document = b""
        # Behaviour per method: "ok", "slow" (the same answer after slow_seconds), "error"
        # (a 500 answer) or "close" (close without a byte).
        self.behaviour = {"HEAD": "ok", "GET": "ok"}
        self.slow_seconds = 3
        self.port = self.listen(self._serve)

    def set_news(self, epoch, entries, last_modified=None):
        """entries: (date, title, url) triples, written as the two-line form."""
        self.document = news_document(epoch, entries)
        if last_modified is not None:
            self.last_modified = last_modified

    def _serve(self, conn):
        request = Request(self._read_request(conn))
        self._record(request)
        behaviour = self.behaviour.get(request.method, "ok")
        if behaviour == "error":
            conn.sendall(b"HTTP/1.0 500 Internal Server Error\r\n\r\n")
        elif behaviour in ("ok", "slow"):
            if behaviour == "slow":
                self.stopping.wait(self.slow_seconds)
            conn.sendall(self._answer(request.method))

    def _answer(self, method):
        head = (
            "HTTP/1.0 200 OK\r\n"
            f"Last-Modified: {self.last_modified}\r\n"
            "Content-Type: text/plain\r\n"
            f"Content-Length: {len(self.document)}\r\n\r\n"
        ).encode("latin-1")
        return head if method == "HEAD" else head + self.document
