"""nginx as the news site, on a free loopback port, with a generated configuration.

Given certificates (``tls_certs.TestCertificates``), the same site is also served over
HTTPS on ``tls_port`` with the good localhost certificate.

The news list is served at ``path`` (default ``/.newsupdate``) from a file whose
modification time nginx sends as Last-Modified; ``set_news`` rewrites the file and sets its
time, so tests decide when the document counts as changed. nginx answers an HTTP/1.0
request with an HTTP/1.1 status line and closes the connection.

    with NginxSite() as site:
        site.port, site.news_file
        site.set_news("edition-1\\n2026-12-07 Title\\nhttp://x/1\\n", mtime=1_800_000_000)
"""

import os
import subprocess
import tempfile

from local import LocalDaemon, free_port, stop_process, wait_for_port

DEFAULT_NEWS = "edition-1\n2026-12-07 Opening day\nhttp://www.zavora.example/news/1\n"

CONFIG = """daemon off;
master_process off;
worker_processes 1;
pid {dir}/nginx.pid;
error_log {dir}/error.log warn;
events {{ worker_connections 64; }}
http {{
    access_log {dir}/access.log;
    client_body_temp_path {dir}/tmp;
    proxy_temp_path {dir}/tmp;
    fastcgi_temp_path {dir}/tmp;
    uwsgi_temp_path {dir}/tmp;
    scgi_temp_path {dir}/tmp;
    default_type text/plain;
    etag off;
    server {{
        listen 127.0.0.1:{port};
{tls}        root {dir}/www;
        location / {{ }}
    }}
}}
"""


class NginxSite(LocalDaemon):
    def __init__(self, path="/.newsupdate", news=DEFAULT_NEWS, certificates=None):
        self.path = path
        self.certificates = certificates
        self.tls_port = None
        self._initial_news = news
        super().__init__()

    def start(self):
        self._dir = tempfile.mkdtemp(prefix="zv-nginx-")
        os.makedirs(os.path.join(self._dir, "www"))
        os.makedirs(os.path.join(self._dir, "tmp"))
        self.news_file = os.path.join(self._dir, "www", self.path.lstrip("/"))
        os.makedirs(os.path.dirname(self.news_file), exist_ok=True)
        self.set_news(self._initial_news, mtime=1_800_000_000)
        for _ in range(5):
            self.port = free_port()
            tls = ""
            if self.certificates:
                self.tls_port = free_port()
                cert, key = self.certificates.pair("good")
                tls = (f"        listen 127.0.0.1:{self.tls_port} ssl;\n"
                       f"        ssl_certificate {cert};\n        ssl_certificate_key {key};\n")
            config = os.path.join(self._dir, "nginx.conf")
            with open(config, "w") as f:
                f.write(CONFIG.format(dir=self._dir, port=self.port, tls=tls))
            self._process = subprocess.Popen(
                ["nginx", "-c", config, "-p", self._dir, "-e", os.path.join(self._dir, "error.log")],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            )
            if wait_for_port(self.port, self._process) and (
                    not self.tls_port or wait_for_port(self.tls_port, self._process)):
                return self
            stop_process(self._process)
        raise RuntimeError("nginx did not start: " + self.error_log())


    def set_news(self, text, mtime=None):
        with open(self.news_file, "w", newline="") as f:
            f.write(text)
        if mtime is not None:
            os.utime(self.news_file, (mtime, mtime))

    def error_log(self):
        try:
            with open(os.path.join(self._dir, "error.log")) as f:
                return f.read()
        except OSError:
            return ""
