"""Shared pieces of the fault matrix and the corrupt-registry runs.

- ``SwitchableFaultServer``: the fault server with one behaviour for every path, switched
  between polls (the agent reads its path only at start-up), able to relay a request to a
  real proxy and to end the stalls it holds.
- ``RegValue`` / ``write_keys`` / ``read_key``: registry values of any type, read back
  exactly (type and bytes) through ``reg export``, since ``reg query`` prints values one
  line each and so loses carriage returns inside them.
- ``PortRelay``: a listener started later on a port that refused connections until then.
- ``key_locker``: takes all access rights away from a registry key and gives them back.
- ``faults_agent``: an agent with an empty registry branch, ended and checked afterwards.
"""

import contextlib
import os
import pathlib
import shutil
import socket
import tempfile
import threading
from dataclasses import dataclass

import pytest

from agent_contract import ID_TASKBAR_EXIT
from conftest import AGENT_ROOT_KEY, Agent, run

from fault_server import BEHAVIOURS, MIB, FaultServer, Request, news_document

# Registry values ---------------------------------------------------------------------------


@dataclass(frozen=True)
class RegValue:
    kind: str  # "sz", "dword", "binary" or "expand"
    data: object  # text for sz and expand, int for dword, bytes for binary

    @staticmethod
    def sz(text):
        return RegValue("sz", str(text))


def _reg_line(name, value):
    if not isinstance(value, RegValue):
        value = RegValue.sz(value)
    if value.kind == "sz":
        escaped = value.data.replace("\\", "\\\\").replace('"', '\\"')
        return f'"{name}"="{escaped}"'
    if value.kind == "dword":
        return f'"{name}"=dword:{value.data & 0xFFFFFFFF:08x}'
    raw = value.data if value.kind == "binary" else value.data.encode("latin-1") + b"\0"
    prefix = "hex" if value.kind == "binary" else "hex(2)"
    return f'"{name}"={prefix}:' + ",".join(f"{byte:02x}" for byte in raw)


def write_keys(keys):
    """Writes {key: {name: text or RegValue}} in one import."""
    lines = ["REGEDIT4"]
    for key, values in keys.items():
        lines += ["", f"[{key.replace('HKCU', 'HKEY_CURRENT_USER')}]"]
        lines += [_reg_line(name, value) for name, value in values.items()]
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False,
                                     encoding="latin-1") as reg_file:
        reg_file.write("\r\n".join(lines) + "\r\n")
    try:
        assert run(["wine", "reg", "import", reg_file.name]).returncode == 0, "reg import failed"
    finally:
        os.unlink(reg_file.name)


class KeyLocker:
    """faults_lock_key.exe, built for the test run with the cross compiler."""

    def __init__(self, exe):
        self.exe = str(exe)

    def _run(self, action, key):
        subkey = key.split("\\", 1)[1]  # below HKCU
        assert run(["wine", self.exe, action, subkey]).returncode == 0, f"{action} {key}"

    @contextlib.contextmanager
    def locked(self, keys):
        for key in keys:
            self._run("lock", key)
        try:
            yield
        finally:
            for key in keys:
                self._run("unlock", key)


@pytest.fixture(scope="session")
def key_locker(agent_exe, tmp_path_factory):
    target = "x86_64" if os.environ.get("WINEARCH") == "win64" else "i686"
    compiler = shutil.which(f"{target}-w64-mingw32-gcc-posix") or shutil.which(f"{target}-w64-mingw32-gcc")
    if compiler is None:
        pytest.skip("no cross compiler for the key locker")
    exe = tmp_path_factory.mktemp("faults") / "faults_lock_key.exe"
    source = pathlib.Path(__file__).with_name("faults_lock_key.c")
    result = run([compiler, "-O2", "-static", "-o", str(exe), str(source)], timeout=120)
    assert result.returncode == 0, "faults_lock_key.c did not build"
    return KeyLocker(exe)


def clear_registry():
    run(["wine", "reg", "delete", AGENT_ROOT_KEY, "/f"])


_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "0": "\0"}


def _unescape(text):
    out, index = [], 0
    while index < len(text):
        char = text[index]
        if char == "\\" and index + 1 < len(text):
            out.append(_ESCAPES.get(text[index + 1], text[index + 1]))
            index += 2
        else:
            out.append(char)
            index += 1
    return "".join(out)


def _parse_value(data):
    if data.startswith('"'):
        return RegValue.sz(_unescape(data[1:-1]))
    if data.startswith("dword:"):
        return RegValue("dword", int(data[6:], 16))
    kind, _, hex_bytes = data.partition(":")
    raw = bytes(int(byte, 16) for byte in hex_bytes.split(",") if byte)
    if kind == "hex(2)":
        return RegValue("expand", raw.decode("utf-16le").rstrip("\0"))
    return RegValue("binary" if kind == "hex" else kind, raw)


def read_key(key):
    """{name: RegValue} of every value of key; {} when the key does not exist."""
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / "export.reg"
        target = "Z:" + str(path).replace("/", "\\")
        if run(["wine", "reg", "export", key, target, "/y"]).returncode != 0:
            return {}
        text = path.read_bytes().decode("utf-16")
    # Long binary values continue on following lines after a backslash.
    text = text.replace("\\\r\n  ", "")
    values = {}
    for line in text.split("\r\n"):
        if not line.startswith('"'):
            continue
        # The name is quoted and may hold escaped quotes; the value follows "=".
        index = 1
        while line[index] != '"':
            index += 2 if line[index] == "\\" else 1
        values[_unescape(line[1:index])] = _parse_value(line[index + 2:])
    return values


def texts(values):
    """{name: text} of the REG_SZ values; any other type fails the caller's comparison."""
    return {name: (value.data if value.kind == "sz" else value) for name, value in values.items()}


# Servers -----------------------------------------------------------------------------------


class SwitchableFaultServer(FaultServer):
    """Plays ``self.behaviour`` (a name from BEHAVIOURS, or a function) for every request,
    on its plain port and behind TLS (``tls_ports``)."""

    def __init__(self, certificates=None):
        super().__init__(certificates=certificates)
        self.behaviour = "ok"
        self._released = threading.Event()
        self.holding = threading.Event()  # set once a connection is held

    def release(self):
        """Ends the stalls: every held connection is flooded beyond the agent's 1 MiB cap.

        A failed read is what the time limits also produce; a flood gets there at once.
        (Under Wine a reset from the peer reads as a clean end of the response, so it
        cannot stand in for a failed read.)
        """
        self._released.set()

    def hold(self, conn):
        self.holding.set()
        while not self._released.wait(0.1):
            if self.stopping.is_set():
                return
        try:
            conn.sendall(b"x" * (MIB + 1))
        except OSError:
            pass  # the agent gave up reading and closed its end

    def _serve(self, conn):
        raw = self._read_request(conn)
        if not raw:
            return
        request = Request(raw)
        self._record(request)
        behaviour = self.behaviour
        play = behaviour if callable(behaviour) else BEHAVIOURS[behaviour]
        play(conn, request, self)


def relay_to(port, replies):
    """A behaviour that hands the request to a proxy on port and passes its answer back;
    each whole answer is appended to replies."""

    def play(conn, request, server):
        reply = b""
        with socket.create_connection(("127.0.0.1", port), timeout=10) as upstream:
            upstream.sendall(request.raw)
            while chunk := upstream.recv(65536):
                reply += chunk
                conn.sendall(chunk)
        replies.append(reply)

    return play


def news_reply(epoch, entries, last_modified):
    """A well-formed reply carrying a news list."""
    body = news_document(epoch, entries)
    head = f"HTTP/1.0 200 OK\nLast-Modified: {last_modified}\n\n".encode("latin-1")

    def play(conn, request, server):
        conn.sendall(head if request.method == "HEAD" else head + body)

    return play


def refused_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class PortRelay(FaultServer):
    """Listens on a given port and hands each request to a server on a target port."""

    def __init__(self, port, target):
        super().__init__()
        relay = relay_to(target, [])
        self.listen(lambda conn: relay(conn, Request(self._read_request(conn)), self), port)


# The agent as a user sees it -----------------------------------------------------------------


def end_agent(agent, drive, timeout=40):
    """Exit as the user chooses it; the exit code, or None when it did not end."""
    if drive("menu", 0)[0] == 0:
        drive.close_menu()
    drive.command(ID_TASKBAR_EXIT)
    return agent.wait_exit(timeout)


@pytest.fixture
def faults_agent(agent_exe, drive):
    """An agent on an empty registry branch; it is ended (and checked gone) afterwards."""
    clear_registry()
    instance = Agent(agent_exe, drive)
    yield instance
    if instance.running():
        if end_agent(instance, drive) is None:
            instance.kill()
            pytest.fail("the agent did not end after the test")
    assert drive.wait_gone(5000), "a hidden agent window outlived the agent"
    clear_registry()


@pytest.fixture
def fault_server(certificates):
    with SwitchableFaultServer(certificates) as server:
        yield server
