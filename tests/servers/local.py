"""Helpers shared by the server modules: free loopback ports and waiting for a listener."""

import shutil
import socket
import time


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for_port(port, process, seconds=10):
    """True once something accepts on the port; False if the process died or time ran out."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def stop_process(process):
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=5)
        except Exception:
            process.kill()
            process.wait()


class LocalDaemon:
    """A server program of the tests: its process and its scratch folder, both removed by
    stop(); start() is the subclass's and returns self."""

    def __init__(self):
        self._dir = None
        self._process = None

    def stop(self):
        stop_process(self._process)
        if self._dir:
            shutil.rmtree(self._dir, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
