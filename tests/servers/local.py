"""Helpers shared by the server modules: free loopback ports, waiting for a listener, and
the base of the packaged server programs the tests start."""

import os
import pwd
import shutil
import socket
import subprocess
import tempfile
import time


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for_port(port, process, seconds=10, host="127.0.0.1"):
    """True once something accepts on the port; False if the process died or time ran out."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection((host, port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def stop_process(process, seconds=5):
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=seconds)
        except Exception:
            process.kill()
            process.wait()


class LocalDaemon:
    """A server program of the tests, in the foreground on a free loopback port, with a
    scratch folder for its configuration, files and logs; stop() ends the process, waits for
    it and removes the folder.

    A subclass sets ``name``, may fill the folder in ``prepare()``, and writes its
    configuration for a port in ``configure(port)``, which returns the command line; the
    program runs with the variables of ``daemon_environment()`` added. A server
    that listens on more ports picks them in ``configure`` and names them in ``ports()``.
    """

    name = "server"
    # How long a stop may take before the process is killed.
    stop_seconds = 5
    # The loopback address the server is reached at.
    address = "127.0.0.1"

    def __init__(self):
        self._dir = None
        self._process = None
        self.port = None

    def start(self):
        self._dir = tempfile.mkdtemp(prefix=f"zv-{self.name}-")
        # Servers started by root hand their work to an unprivileged user, who must read the
        # served files.
        os.chmod(self._dir, 0o755)
        self.prepare()
        # Another program may take the free port before the server binds it: try again.
        for _ in range(5):
            self.port = free_port()
            self._process = subprocess.Popen(
                self.configure(self.port),
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                env={**os.environ, **self.daemon_environment()},
            )
            if all(wait_for_port(port, self._process, host=self.address)
                   for port in self.ports()):
                return self
            stop_process(self._process, self.stop_seconds)
        log = self.error_log()
        self.stop()
        raise RuntimeError(f"{self.name} did not start: {log}")

    def prepare(self):
        pass

    def daemon_environment(self):
        """Variables the server program needs beside the caller's."""
        return {}

    def ports(self):
        """The ports the started server must accept on."""
        return [self.port]

    def file(self, *parts):
        return os.path.join(self._dir, *parts)

    def write(self, name, text):
        with open(self.file(name), "w") as f:
            f.write(text)
        return self.file(name)

    def read(self, name):
        try:
            with open(self.file(name)) as f:
                return f.read()
        except OSError:
            return ""

    def error_log(self):
        return self.read("error.log")

    def hand_to(self, user):
        """Gives the scratch folder to the user a server started by root works as."""
        if os.geteuid() == 0:
            entry = pwd.getpwnam(user)
            for folder, _, names in os.walk(self._dir):
                for path in [folder] + [os.path.join(folder, name) for name in names]:
                    os.chown(path, entry.pw_uid, entry.pw_gid)

    def stop(self):
        stop_process(self._process, self.stop_seconds)
        if self._dir:
            shutil.rmtree(self._dir, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
