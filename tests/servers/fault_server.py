"""A scriptable HTTP server that misbehaves on purpose and records the exact request bytes.

The behaviour is chosen by the request path: ``/fault/<name>`` plays the misbehaviour
``<name>`` (see ``BEHAVIOURS``; the ones that stall in the body, run endless or
too long answer a HEAD request normally, so they fail the GET step); any other path gets a well-formed news list. The path is
also found inside an absolute proxy URI (``GET http://host:port/fault/x HTTP/1.0``), so the
server can stand in for a proxy as well. Three more ports misbehave before any request is
read: ``silent_port`` accepts and never reads or answers (so a large request stalls), ``close_port`` accepts and closes
at once, ``blackhole_port`` never completes a connection (its accept queue is kept full).
``ipv6_port`` serves as ``port`` does, on ::1 only; ``dual_ports`` give one port on both ::1
and 127.0.0.1 for a name with both addresses: "v4-closed" serves on ::1 only, "v6-stalls"
and "v4-stalls" serve on one address while the other is a blackhole.

Every request is recorded as it arrived (``requests``), and, when a log directory is given,
written to ``<log>/request-<n>.bin`` and ``<log>/last-request.bin`` before any reply byte
is sent, so a client that has seen the reply (or the close) can read its own request back.

Python API::

    with FaultServer(log_dir) as server:
        server.port, server.silent_port, server.close_port, server.blackhole_port
        server.script("/custom", b"HTTP/1.0 200 OK\\n\\n...")   # fixed reply for a path
        server.last_request()                  # raw bytes of the latest request
        server.methods(), server.wait_requests(count, timeout)
        server.listen(handler, port)           # one more listener, handler(conn) per connection

Out of process, ``PUT /control/script/<path>`` with the raw reply as the body scripts a
path the same way.

A ``CONNECT host:port`` request is recorded and answered as a proxy does: the server opens
a tunnel to that port on loopback and relays both ways.

Given certificates (``tls_certs.TestCertificates``), the server also plays its behaviours
behind TLS, one listener per kind in ``tls_ports``: each certificate kind of tls_certs
("good", "other-name", "expired", "self-signed", "untrusted-ca"), "tls1.0" (the good
certificate, but TLS 1.0 only), "cut-record" (a reply whose last record is cut short by
closing the connection), "no-close-notify" (whole records, then a plain close without the
close_notify that the other listeners send) and "stall-handshake" (accepts, then ``hold``s
the connection without a word of TLS).

A CONNECT to a host whose name starts with "mixed-ends." is answered with a head whose last
header line ends in a bare line feed and whose empty line is CR LF.

``signin_port`` is a proxy that asks for Windows sign-in and keeps a connection open between
the legs of a handshake when the client asks for that (``Proxy-Connection: Keep-Alive``).
The path ``/signin/<offer>[-<variant>]`` (a CONNECT: always ``ntlm``) chooses its 407:
offer ``ntlm`` (NTLM and Basic), ``negotiate`` (Negotiate, NTLM and Basic) or ``digest``
(Digest only). A first NTLM message gets a real NTLM challenge, the last message the news list
(or, for CONNECT, the tunnel), a Kerberos token at once the same. Variants: ``close`` closes
the first connection of the path after the challenge, ``closing`` every one, ``resetting``
resets every one when the next leg arrives, ``again``
answers the last message with 407, ``slow`` waits 1.6 s before each answer. Each request of this listener is recorded with
the number of its connection (``Request.connection``; in the log, ``connections.txt`` holds
"<request number> <connection>" lines).
"""

import base64
import contextlib
import itertools
import os
import select
import socket
import ssl
import threading
import time

LAST_MODIFIED = "Mon, 07 Dec 2026 05:00:00 GMT"
NEWS_BODY = (
    "edition-7\n"
    "2026-12-07 First title\n"
    "http://news.example/1\n"
    "2026-12-06 Second title with words\n"
    "http://news.example/2\n"
)
MIB = 1 << 20


def _ok_head(last_modified=LAST_MODIFIED, version="HTTP/1.0", extra=""):
    lines = f"{version} 200 OK\nServer: fault\nContent-Type: text/plain\n"
    if last_modified is not None:
        lines += f"Last-Modified: {last_modified}\n"
    return (lines + extra + "\n").encode()


def _reply(head, body=b""):
    """A plain reply: head always, body only for GET."""

    def play(conn, request, server):
        conn.sendall(head if request.method == "HEAD" else head + body)

    return play


def _stall_after(data, head_too=True):
    """Sends data and stalls; with head_too False a HEAD request gets a normal reply."""

    def play(conn, request, server):
        if request.method == "HEAD" and not head_too:
            conn.sendall(_ok_head())
            return
        conn.sendall(data)
        server.hold(conn)

    return play


def _trickle(conn, request, server):
    reply = _ok_head() + NEWS_BODY.encode() * 1000
    for byte in reply:
        if server.stopping.wait(0.5):
            return
        conn.sendall(bytes([byte]))


def _endless(conn, request, server):
    conn.sendall(_ok_head())
    if request.method == "HEAD":
        return
    chunk = NEWS_BODY.encode() * 200
    while not server.stopping.is_set():
        conn.sendall(chunk)


def _close_at_once(conn, request, server):
    pass


def _urgent(split):
    """A good reply with one urgent (out-of-band) byte after its first split bytes, and half
    a second of silence after it, while the client should wait without spinning."""

    def play(conn, request, server):
        reply = _ok_head() if request.method == "HEAD" else _ok_head() + NEWS_BODY.encode()
        conn.sendall(reply[:split])
        conn.send(b"!", socket.MSG_OOB)
        if server.stopping.wait(0.5):
            return
        conn.sendall(reply[split:])

    return play


def _sized_reply(total):
    """A GET reply of exactly total bytes (head included)."""
    head = _ok_head()
    body = b"edition-big\n" + b"x" * (total - len(head) - len(b"edition-big\n"))
    return _reply(head, body)


BEHAVIOURS = {
    "ok": _reply(_ok_head(), NEWS_BODY.encode()),
    "never-answer": lambda conn, request, server: server.hold(conn),
    "stall-status": _stall_after(b"HTTP/1.0 2"),
    "stall-headers": _stall_after(b"HTTP/1.0 200 OK\nServer: fault\nLast-Mod"),
    "stall-body": _stall_after(_ok_head() + b"edition-9\n2026-12-07 Partial", head_too=False),
    "trickle": _trickle,
    "endless": _endless,
    "close-at-once": _close_at_once,
    "close-mid-headers": _reply(b"HTTP/1.0 200 OK\nServer: fault\nLast-Modified: Mon, 07"),
    "no-blank-line": _reply(
        f"HTTP/1.0 200 OK\nLast-Modified: {LAST_MODIFIED}\nServer: fault\n".encode()
    ),
    "empty-first-line": _reply(b"\n" + _ok_head(), NEWS_BODY.encode()),
    "status-304": _reply(b"HTTP/1.0 304 Not Modified\nServer: fault\n\n"),
    "status-204-10": _reply(b"HTTP/1.0 204 No Content\nLast-Modified: LM-204\n\n"),
    "status-204-11": _reply(b"HTTP/1.1 204 No Content\nLast-Modified: LM-204\n\n"),
    "status-500": _reply(b"HTTP/1.0 500 Internal Server Error\nServer: fault\n\nbroken\n"),
    "httpr": _reply(b"HTTPr\n\n"),
    "moved-301": _reply(
        b"HTTP/1.0 301 Moved Permanently\r\nLocation: /news/.newsupdate\r\n\r\n"
    ),
    "status-100-digits": _reply(b"HTTP/1.0 " + b"2" * 100 + b" Long\nLast-Modified: LM-100\n\n"),
    "big-header": _reply(
        _ok_head(extra="X-Big: " + "b" * 100_000 + "\n"), NEWS_BODY.encode()
    ),
    "many-headers": _reply(
        _ok_head(extra="".join(f"X-H{i}: {i}\n" for i in range(5000))), NEWS_BODY.encode()
    ),
    "nul-header": _reply(
        b"HTTP/1.0 200 OK\nX-Nul: a\0b\nLast-Modified: after-nul\n\n", b"edition-nul\n"
    ),
    "nul-body": _reply(_ok_head(), b"edition-nul\n2026-12-07 Be\0fore\nhttp://n/1\n"),
    "lm-missing": _reply(_ok_head(last_modified=None), NEWS_BODY.encode()),
    "lm-empty": _reply(_ok_head(last_modified=""), NEWS_BODY.encode()),
    "lm-repeated": _reply(
        b"HTTP/1.0 200 OK\nLast-Modified: first\nLast-Modified: second\nLast-Modified:\n\n"
    ),
    "lm-odd": _reply(b"HTTP/1.0 200 OK\r\n  lAsT-mOdIfIeD \t:   odd value \r\n\r\n"),
    "body-over-1mib": _sized_reply(MIB + 1),
    "body-1mib": _sized_reply(MIB),
    "crlf": _reply(
        f"HTTP/1.0 200 OK\r\nLast-Modified: {LAST_MODIFIED}\r\n\r\n".encode(),
        b" edition-crlf \r\n2026-12-07 Title\r\nhttp://n/1\r\n",
    ),
    "tabs-only": _reply(_ok_head(), b"\t\n\n\t\t\n"),
    "with-length": _reply(
        _ok_head(extra=f"Content-Length: {len(NEWS_BODY)}\n"), NEWS_BODY.encode()),
    "short-body": _reply(
        _ok_head(extra=f"Content-Length: {len(NEWS_BODY) + 1}\n"), NEWS_BODY.encode()),
    "urgent-before": _urgent(0),
    "urgent-inside": _urgent(len(_ok_head()) + 20),
}


# A real NTLM challenge (type 2): domain ZAVORA, computer PROXY, NTLMv2 and extended session
# security, the client to answer with its own credentials. Any answer to it is accepted.
NTLM_CHALLENGE = base64.b64decode(
    "TlRMTVNTUAACAAAADAAMADAAAAAFgomgASNFZ4mrze8AAAAAAAAAACIAIgA8AAAAWgBBAFYATwBSAEEAAgAMAFoAQQ"
    "BWAE8AUgBBAAEACgBQAFIATwBYAFkAAAAAAA==")
SIGN_IN_OFFERS = {
    "ntlm": ["NTLM", 'Basic realm="zavora"'],
    "negotiate": ["Negotiate", "NTLM", 'Basic realm="zavora"'],
    "digest": ['Digest realm="zavora", nonce="5f3a", qop="auth"'],
}
SIGN_IN_BODY = b"Sign in, please.\n"


def _header(raw, name):
    """The value of the request's first header line of that name, or ""."""
    for line in raw.decode("latin-1").split("\n")[1:]:
        key, _, value = line.partition(":")
        if key.strip().lower() == name.lower():
            return value.strip()
    return ""


def _sign_in_reply(request, offers, keep_alive):
    """A 407 with the offers; its body is left out for HEAD, as for every HEAD answer."""
    lines = ["HTTP/1.0 407 Proxy Authentication Required"]
    lines += [f"Proxy-Authenticate: {offer}" for offer in offers]
    lines += [f"Content-Length: {len(SIGN_IN_BODY)}"]
    if keep_alive:
        lines += ["Proxy-Connection: keep-alive"]
    head = ("\r\n".join(lines) + "\r\n\r\n").encode()
    return head if request.method == "HEAD" else head + SIGN_IN_BODY


def news_document(epoch, entries):
    """A news list: the epoch line, then two lines for each (date, title, url) entry. Text
    goes out in Latin-1, bytes (a title in UTF-8, say) as they are."""
    def raw(part):
        return part if isinstance(part, bytes) else part.encode("latin-1")
    lines = [raw(epoch)] + [part for date, title, url in entries
                            for part in (raw(date) + b" " + raw(title), raw(url))]
    return b"\n".join(lines) + b"\n"


class Request:
    def __init__(self, raw):
        self.arrived = time.monotonic()
        self.raw = raw
        first = raw.split(b"\n", 1)[0].decode("latin-1").rstrip("\r")
        parts = first.split(" ")
        self.method = parts[0] if parts else ""
        uri = parts[1] if len(parts) > 1 else "/"
        if uri.startswith("http://"):
            slash = uri.find("/", len("http://"))
            uri = uri[slash:] if slash >= 0 else "/"
        self.path = uri
        self.connection = 0

    def __repr__(self):
        return f"Request({self.method} {self.path} at {self.arrived:.3f})"


def _listener(port=0, backlog=16, host="127.0.0.1"):
    listener = socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET,
                             socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((host, port))
    listener.listen(backlog)
    return listener


class FaultServer:
    def __init__(self, log_dir=None, certificates=None):
        self.log_dir = log_dir
        self.certificates = certificates
        self.tls_ports = {}
        self.requests = []
        self.stopping = threading.Event()
        self._scripts = {}
        self._lock = threading.Lock()
        self._threads = []
        self._open = set()
        self._listeners = []
        self._fillers = []
        self._sign_in_connections = itertools.count(1)
        self._closed_paths = set()

    # Life cycle -------------------------------------------------------------------------
    def start(self):
        if self.log_dir:
            os.makedirs(self.log_dir, exist_ok=True)
        self.port = self.listen(self._serve)
        self.silent_port = self.listen(lambda conn: self.stopping.wait())
        self.close_port = self.listen(self._close_at_once)
        self.blackhole_port = self._start_blackhole()
        self.ipv6_port = self.listen(self._serve, host="::1")
        self._start_dual_stack()
        self.signin_port = self.listen(self._sign_in)
        if self.certificates:
            self._start_tls()
        return self

    def listen(self, handler, port=0, host="127.0.0.1"):
        """Hands every connection to port (0: a free one) of host to handler(conn) on a
        thread of its own, until stop; returns the port."""
        listener = _listener(port, host=host)
        self._listeners.append(listener)
        self._spawn(self._accept_loop, listener, handler)
        return listener.getsockname()[1]

    def stop(self):
        self.stopping.set()
        for sock in self._listeners + self._fillers:
            _close_quietly(sock)
        with self._lock:
            for conn in list(self._open):
                _close_quietly(conn)
        for thread in self._threads:
            thread.join(timeout=5)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # Scripting and records --------------------------------------------------------------
    def script(self, path, reply):
        """Answer requests for path with these raw bytes (both HEAD and GET)."""
        with self._lock:
            self._scripts[path] = reply

    def last_request(self):
        with self._lock:
            return self.requests[-1].raw if self.requests else None

    def methods(self):
        with self._lock:
            return [request.method for request in self.requests]

    def wait_requests(self, count, timeout):
        """The requests recorded once there are count of them; [] if they do not come."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self._lock:
                if len(self.requests) >= count:
                    return list(self.requests)
            time.sleep(0.05)
        return []

    def hold(self, conn):
        """Keep a connection open, sending nothing, until the peer closes or we stop."""
        conn.settimeout(0.2)
        while not self.stopping.is_set():
            try:
                if not conn.recv(65536):
                    return
            except socket.timeout:
                continue
            except OSError:
                return

    # Internals --------------------------------------------------------------------------
    def _start_tls(self):
        def context(kind, tls10_only=False):
            tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            tls.load_cert_chain(*self.certificates.pair(kind))
            if tls10_only:
                tls.minimum_version = tls.maximum_version = ssl.TLSVersion.TLSv1
                tls.set_ciphers("DEFAULT:@SECLEVEL=0")
            return tls

        def serving(tls, close_notify=True):
            def handler(conn):
                with tls.wrap_socket(conn, server_side=True) as secure:
                    self._serve(secure)
                    if close_notify:
                        # As nginx does: close_notify, then close without waiting for the
                        # client's.
                        secure.settimeout(0)
                        with contextlib.suppress(ssl.SSLWantReadError):
                            secure.unwrap()

            return handler

        for kind in ("good", "other-name", "expired", "self-signed", "untrusted-ca"):
            self.tls_ports[kind] = self.listen(serving(context(kind)))
        self.tls_ports["tls1.0"] = self.listen(serving(context("good", tls10_only=True)))
        good = context("good")
        self.tls_ports["no-close-notify"] = self.listen(serving(good, close_notify=False))
        self.tls_ports["cut-record"] = self.listen(lambda conn: self._cut_record(conn, good))
        self.tls_ports["stall-handshake"] = self.listen(self.hold)

    def _cut_record(self, conn, tls):
        """Answers well over TLS, but closes the connection ten bytes before the end of the
        reply's last record."""
        incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        session = tls.wrap_bio(incoming, outgoing, server_side=True)

        def exchange(step):
            while True:
                try:
                    return step()
                except ssl.SSLWantReadError:
                    conn.sendall(outgoing.read())
                    data = conn.recv(65536)
                    if not data:
                        raise ConnectionError("the client closed during the exchange")
                    incoming.write(data)

        exchange(session.do_handshake)
        conn.sendall(outgoing.read())
        raw = b""
        while b"\r\n\r\n" not in raw:
            raw += exchange(lambda: session.read(65536))
        request = Request(raw)
        self._record(request)
        session.write(_ok_head() if request.method == "HEAD" else _ok_head() + NEWS_BODY.encode())
        records = outgoing.read()
        conn.sendall(records[:-10])

    def _tunnel(self, conn, request):
        _, _, port = request.path.rpartition(":")
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=5)
        except (OSError, ValueError):
            conn.sendall(b"HTTP/1.0 502 Bad Gateway\r\n\r\n")
            return
        reply = b"HTTP/1.0 200 Connection established\r\n\r\n"
        if request.path.startswith("mixed-ends."):
            reply = b"HTTP/1.0 200 Connection established\r\nProxy-Agent: fault\n\r\n"
        with upstream:
            upstream.settimeout(None)
            conn.sendall(reply)
            self._spawn(_relay, upstream, conn)
            _relay(conn, upstream)

    def _start_blackhole(self, port=0, host="127.0.0.1"):
        # A listener that never accepts, with its queue filled by connections of our own:
        # further connection attempts get no answer and hang until the client gives up.
        listener = _listener(port, backlog=0, host=host)
        self._listeners.append(listener)
        port = listener.getsockname()[1]
        for _ in range(8):
            filler = socket.socket(listener.family, socket.SOCK_STREAM)
            filler.setblocking(False)
            filler.connect_ex((host, port))
            self._fillers.append(filler)
        # The queue is full once one of them is established.
        select.select([], self._fillers, [], 5)
        return port

    def _start_dual_stack(self):
        """One port on both loopback addresses per kind, for a name with both: the news on
        ::1 with 127.0.0.1 closed, and the news on one address with the other a blackhole."""
        self.dual_ports = {}
        for kind, first in (("v4-closed", None), ("v6-stalls", "::1"), ("v4-stalls", "127.0.0.1")):
            for _ in range(5):
                try:
                    if first is None:
                        port = self.listen(self._serve, host="::1")
                        _listener(port).close()  # 127.0.0.1 is free: nothing listens there
                    else:
                        port = self._start_blackhole(host=first)
                        other = "127.0.0.1" if first == "::1" else "::1"
                        self.listen(self._serve, port, host=other)
                    self.dual_ports[kind] = port
                    break
                except OSError:
                    continue

    def _spawn(self, target, *args):
        thread = threading.Thread(target=target, args=args, daemon=True)
        self._threads.append(thread)
        thread.start()

    def _accept_loop(self, listener, handler):
        listener.settimeout(0.2)
        while not self.stopping.is_set():
            try:
                conn, _ = listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with self._lock:
                self._open.add(conn)
            self._spawn(self._run_handler, conn, handler)

    def _run_handler(self, conn, handler):
        try:
            conn.settimeout(None)
            handler(conn)
        except OSError:
            pass
        finally:
            with self._lock:
                self._open.discard(conn)
            _close_quietly(conn)

    def _close_at_once(self, conn):
        # End our side at once, but take what the client sends before closing the socket:
        # closing with unread data would reset the connection instead of ending it.
        conn.shutdown(socket.SHUT_WR)
        self.hold(conn)

    def _read_request(self, conn):
        conn.settimeout(5)
        data = b""
        while b"\n\n" not in data and b"\r\n\r\n" not in data:
            try:
                chunk = conn.recv(65536)
            except socket.timeout:
                break
            if not chunk:
                break
            data += chunk
        conn.settimeout(None)
        return data

    def _record(self, request):
        # Under the lock as a whole: two requests arriving together would otherwise share the
        # temporary file, and the second rename would fail and drop its connection.
        with self._lock:
            self.requests.append(request)
            number = len(self.requests)
            if self.log_dir:
                with open(os.path.join(self.log_dir, f"request-{number}.bin"), "wb") as f:
                    f.write(request.raw)
                temporary = os.path.join(self.log_dir, "last-request.tmp")
                with open(temporary, "wb") as f:
                    f.write(request.raw)
                os.replace(temporary, os.path.join(self.log_dir, "last-request.bin"))
                if request.connection:
                    with open(os.path.join(self.log_dir, "connections.txt"), "a") as f:
                        f.write(f"{number} {request.connection}\n")

    def _serve(self, conn):
        raw = self._read_request(conn)
        # A client that closes without sending anything (one that refused our certificate)
        # made no request.
        if not raw:
            return
        request = Request(raw)
        if request.method == "PUT" and request.path.startswith("/control/script/"):
            self._control_script(conn, raw, request)
            return
        self._record(request)
        if request.method == "CONNECT":
            self._tunnel(conn, request)
            return
        with self._lock:
            scripted = self._scripts.get(request.path)
        if scripted is not None:
            conn.sendall(scripted)
            return
        name = request.path[len("/fault/"):] if request.path.startswith("/fault/") else "ok"
        BEHAVIOURS.get(name, BEHAVIOURS["ok"])(conn, request, self)

    def _sign_in(self, conn):
        connection = next(self._sign_in_connections)
        while raw := self._read_request(conn):
            request = Request(raw)
            request.connection = connection
            self._record(request)
            name = "ntlm" if request.method == "CONNECT" else request.path.rpartition("/")[2]
            offer, _, variant = name.partition("-")
            if variant == "slow" and self.stopping.wait(1.6):
                return
            scheme, _, token = _header(raw, "Proxy-Authorization").partition(" ")
            message = base64.b64decode(token.strip() or "AA==", validate=False)
            keep_alive = _header(raw, "Proxy-Connection").lower() == "keep-alive"
            if scheme not in ("NTLM", "Negotiate") or offer == "digest":
                conn.sendall(_sign_in_reply(request, SIGN_IN_OFFERS.get(offer, []), False))
                return
            if message.startswith(b"NTLMSSP\0\x01"):
                offers = [f"{scheme} {base64.b64encode(NTLM_CHALLENGE).decode()}"]
                conn.sendall(_sign_in_reply(request, offers, keep_alive))
                if variant == "resetting":
                    # Closing with the next leg unread resets the connection.
                    select.select([conn], [], [], 5)
                    return
                closes = variant == "closing" or (
                    variant == "close" and request.path not in self._closed_paths)
                if not keep_alive or closes:
                    self._closed_paths.add(request.path)
                    return
                continue
            if variant == "again":
                conn.sendall(_sign_in_reply(request, SIGN_IN_OFFERS[offer], False))
            elif request.method == "CONNECT":
                self._tunnel(conn, request)
            else:
                BEHAVIOURS["ok"](conn, request, self)
            return

    def _control_script(self, conn, raw, request):
        head, _, body = raw.partition(b"\n\n") if b"\r\n\r\n" not in raw else raw.partition(
            b"\r\n\r\n"
        )
        length = 0
        for line in head.decode("latin-1").splitlines():
            name, _, value = line.partition(":")
            if name.strip().lower() == "content-length":
                length = int(value.strip())
        while len(body) < length:
            chunk = conn.recv(65536)
            if not chunk:
                break
            body += chunk
        self.script(request.path[len("/control/script"):], body[:length])
        conn.sendall(b"HTTP/1.0 204 No Content\n\n")


def _relay(source, target):
    """Copies source to target until source ends, then ends target's sending side."""
    try:
        while data := source.recv(65536):
            target.sendall(data)
        target.shutdown(socket.SHUT_WR)
    except OSError:
        pass


def _close_quietly(sock):
    try:
        sock.close()
    except OSError:
        pass
