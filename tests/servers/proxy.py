"""tinyproxy as the HTTP proxy with Basic credentials, on a free loopback port.

It answers a request without credentials with 407 and one with wrong credentials with 401.
It rewrites line ends, so exact request bytes are checked against the fault server instead.

    with TinyProxy(user="agent", password="s3cret") as proxy:
        proxy.port
"""

import os
import subprocess
import tempfile

from local import LocalDaemon, free_port, stop_process, wait_for_port

CONFIG = """Port {port}
Listen 127.0.0.1
Timeout 30
Allow 127.0.0.1
BasicAuth {user} {password}
MaxClients 20
DisableViaHeader Yes
LogFile "{dir}/tinyproxy.log"
LogLevel Info
PidFile "{dir}/tinyproxy.pid"
"""


class TinyProxy(LocalDaemon):
    def __init__(self, user="agent", password="s3cret"):
        self.user = user
        self.password = password
        super().__init__()

    def start(self):
        self._dir = tempfile.mkdtemp(prefix="zv-proxy-")
        for _ in range(5):
            self.port = free_port()
            config = os.path.join(self._dir, "tinyproxy.conf")
            with open(config, "w") as f:
                f.write(CONFIG.format(port=self.port, user=self.user, password=self.password,
                                      dir=self._dir))
            self._process = subprocess.Popen(
                ["tinyproxy", "-d", "-c", config],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            )
            if wait_for_port(self.port, self._process):
                return self
            stop_process(self._process)
        raise RuntimeError("tinyproxy did not start")

