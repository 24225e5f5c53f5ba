"""Web servers from Debian's packages as the news site, each on a free loopback port with a
generated configuration: nginx, Apache 2.4 (alone, or as the second of two name-based
virtual hosts on one address) and lighttpd.

The news list is served at ``path`` (default ``/.newsupdate``) from a file whose
modification time the server sends as Last-Modified; ``set_news`` rewrites the file and
sets its time, so tests decide when the document counts as changed. ``host`` is the name a
client puts in its URL, and ``requests()`` lists what the server answered, as
(method, path, status) from its access log.

    with ApacheSite() as site:
        site.host, site.port, site.news_file
        site.set_news("edition-1\\n2026-12-07 Title\\nhttp://x/1\\n", mtime=1_764_000_000)
        site.requests()   # [("HEAD", "/.newsupdate", "200"), ...]

Given certificates (``tls_certs.TestCertificates``), nginx also serves the same site over
HTTPS on ``tls_port`` with the good localhost certificate; with ``ask_client_certificate``
it asks each client for a certificate from the test CA, which a client may decline.

nginx answers an HTTP/1.0 request with an HTTP/1.1 status line and closes the connection;
Apache and lighttpd refuse request lines that end in a bare line feed.
"""

import os

from local import LocalDaemon, free_port

DEFAULT_NEWS = "edition-1\n2026-12-07 Opening day\nhttp://www.zavora.example/news/1\n"
# In the past: Apache sends the time of the request as Last-Modified of a file modified in
# the future.
DEFAULT_MTIME = 1_764_000_000

NGINX_CONFIG = """daemon off;
master_process off;
worker_processes 1;
pid {dir}/nginx.pid;
error_log {dir}/error.log warn;
events {{ worker_connections 64; }}
http {{
    log_format news '$request_method $uri $status';
    access_log {dir}/access.log news;
    client_body_temp_path {dir}/tmp;
    proxy_temp_path {dir}/tmp;
    fastcgi_temp_path {dir}/tmp;
    uwsgi_temp_path {dir}/tmp;
    scgi_temp_path {dir}/tmp;
    default_type text/plain;
    etag off;
    server {{
        listen {address}:{port};
{tls}        root {dir}/www;
        location / {{ }}
    }}
}}
"""

# Started by root, Apache serves from processes of the user www-data.
APACHE_CONFIG = """ServerRoot {dir}
Listen 127.0.0.1:{port}
LoadModule mpm_event_module /usr/lib/apache2/modules/mod_mpm_event.so
LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so
User www-data
Group www-data
PidFile {dir}/apache.pid
DefaultRuntimeDir {dir}
ErrorLog {dir}/error.log
LogFormat "%m %U %>s" news
CustomLog {dir}/access.log news
ServerName {host}
FileETag None
<Directory {dir}>
    Require all granted
</Directory>
{sites}"""

APACHE_ONE_SITE = "DocumentRoot {dir}/www\n"

# A request without a Host line, or naming neither site, gets the first site's list.
APACHE_TWO_SITES = """<VirtualHost 127.0.0.1:{port}>
    ServerName other.zavora.example
    DocumentRoot {dir}/other
</VirtualHost>
<VirtualHost 127.0.0.1:{port}>
    ServerName {host}
    DocumentRoot {dir}/www
</VirtualHost>
"""

# lighttpd writes an access log file every few seconds; into a pipe it writes each line at
# once, so a test sees a request as soon as it has been answered. Without its cache of file
# details it sends a rewritten list's new time at once, not a second later.
LIGHTTPD_CONFIG = """server.document-root = "{dir}/www"
server.bind = "127.0.0.1"
server.port = {port}
server.errorlog = "{dir}/error.log"
server.modules = ( "mod_accesslog" )
accesslog.filename = "|/bin/cat >> {dir}/access.log"
accesslog.format = "%m %U %s"
mimetype.assign = ( "" => "text/plain" )
server.stat-cache-engine = "disable"
"""


class NewsSite(LocalDaemon):
    host = "127.0.0.1"

    def __init__(self, path="/.newsupdate", news=DEFAULT_NEWS):
        self.path = path
        self._initial_news = news
        super().__init__()

    def prepare(self):
        self.news_file = self.file("www", self.path.lstrip("/"))
        os.makedirs(os.path.dirname(self.news_file), mode=0o755)
        self.set_news(self._initial_news, mtime=DEFAULT_MTIME)

    def put(self, name, text):
        """Serves text at /name."""
        with open(self.file("www", name), "w") as f:
            f.write(text)

    def set_news(self, text, mtime=None):
        """text: a str, written in UTF-8, or bytes as they are."""
        with open(self.news_file, "wb") as f:
            f.write(text if isinstance(text, bytes) else text.encode())
        if mtime is not None:
            os.utime(self.news_file, (mtime, mtime))

    def requests(self):
        return [tuple(line.split()) for line in self.read("access.log").splitlines()]


class NginxSite(NewsSite):
    """nginx on 127.0.0.1, or given ipv6, on ::1 only (its host then "[::1]")."""

    name = "nginx"

    def __init__(self, certificates=None, ask_client_certificate=False, ipv6=False, **site):
        self.certificates = certificates
        self.ask_client_certificate = ask_client_certificate
        self.tls_port = None
        if ipv6:
            self.address = "::1"
            self.host = "[::1]"
        super().__init__(**site)

    def configure(self, port):
        os.makedirs(self.file("tmp"), exist_ok=True)
        tls = ""
        if self.certificates:
            self.tls_port = free_port()
            cert, key = self.certificates.pair("good")
            tls = (f"        listen {self.host}:{self.tls_port} ssl;\n"
                   f"        ssl_certificate {cert};\n        ssl_certificate_key {key};\n")
            if self.ask_client_certificate:
                tls += (f"        ssl_verify_client optional;\n"
                        f"        ssl_client_certificate {self.certificates.ca_pem};\n")
        config = self.write("nginx.conf", NGINX_CONFIG.format(dir=self._dir, port=port, tls=tls,
                                                              address=self.host))
        return ["nginx", "-c", config, "-p", self._dir, "-e", self.file("error.log")]

    def ports(self):
        return [self.port] + ([self.tls_port] if self.tls_port else [])


class ApacheSite(NewsSite):
    """Apache alone; or, given other_news, two name-based virtual hosts on one address:
    first another site serving other_news, then ours, named localhost."""

    name = "apache"

    def __init__(self, other_news=None, **site):
        self._other_news = other_news
        if other_news is not None:
            self.host = "localhost"
        super().__init__(**site)

    def prepare(self):
        super().prepare()
        if self._other_news is not None:
            other = self.file("other", self.path.lstrip("/"))
            os.makedirs(os.path.dirname(other), mode=0o755)
            with open(other, "w") as f:
                f.write(self._other_news)

    def configure(self, port):
        sites = APACHE_ONE_SITE if self._other_news is None else APACHE_TWO_SITES
        fields = dict(dir=self._dir, port=port, host=self.host)
        config = self.write("apache.conf",
                            APACHE_CONFIG.format(sites=sites.format(**fields), **fields))
        return ["apache2", "-f", config, "-DFOREGROUND"]


class LighttpdSite(NewsSite):
    name = "lighttpd"

    def configure(self, port):
        config = self.write("lighttpd.conf", LIGHTTPD_CONFIG.format(dir=self._dir, port=port))
        return ["lighttpd", "-D", "-f", config]
