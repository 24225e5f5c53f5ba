"""HTTP proxies with Basic credentials, each on a free loopback port: tinyproxy and squid;
and squid asking for Windows sign-in, with Negotiate (Kerberos, given a realm of
kerberos.py) or with NTLM (ntlm_fake_auth: a real NTLM exchange that takes any user).

tinyproxy answers a request without credentials with 407 and one with wrong credentials
with 401; squid answers both with 407. tinyproxy rewrites line ends, so exact request
bytes are checked against the fault server instead.

    with SquidProxy(user="agent", password="s3cret") as proxy:
        proxy.port
"""

import shutil
import subprocess

from kerberos import REALM, SERVICE
from local import LocalDaemon

TINYPROXY_CONFIG = """Port {port}
Listen 127.0.0.1
Timeout 30
Allow 127.0.0.1
BasicAuth {user} {password}
MaxClients 20
DisableViaHeader Yes
LogFile "{dir}/error.log"
LogLevel Info
PidFile "{dir}/tinyproxy.pid"
"""

# Started by root, squid works as the user proxy. Nothing is cached, so every request
# reaches the site. It listens on both loopback addresses and resolves names through
# /etc/hosts, where the tests' own names are (tests/servers/test_hosts.py).
SQUID_CONFIG = """http_port 127.0.0.1:{port}
http_port [::1]:{port}
cache_effective_user proxy
pid_filename {dir}/squid.pid
access_log stdio:{dir}/access.log
cache_log {dir}/error.log
cache_store_log none
coredump_dir {dir}
netdb_filename none
pinger_enable off
cache deny all
shutdown_lifetime 1 seconds
{auth}acl users proxy_auth REQUIRED
http_access allow users
http_access deny all
"""


SQUID_BASIC = "auth_param basic program /usr/lib/squid/basic_ncsa_auth {dir}/passwd\n"

# Each leg of a handshake must reach the same helper process, which keep_alive gives.
SQUID_NEGOTIATE = """auth_param negotiate program /usr/lib/squid/negotiate_kerberos_auth -k {keytab} -s {service}
auth_param negotiate children 2
auth_param negotiate keep_alive on
"""
SQUID_NTLM = """auth_param ntlm program /usr/lib/squid/ntlm_fake_auth
auth_param ntlm children 2
auth_param ntlm keep_alive on
"""


class BasicAuthProxy(LocalDaemon):
    def __init__(self, user="agent", password="s3cret"):
        self.user = user
        self.password = password
        super().__init__()


class TinyProxy(BasicAuthProxy):
    name = "tinyproxy"

    def configure(self, port):
        config = self.write("tinyproxy.conf", TINYPROXY_CONFIG.format(
            port=port, user=self.user, password=self.password, dir=self._dir))
        return ["tinyproxy", "-d", "-c", config]


class SquidProxy(BasicAuthProxy):
    name = "squid"
    # squid waits shutdown_lifetime for open connections, then stops its helpers.
    stop_seconds = 15

    def prepare(self):
        hashed = subprocess.run(["openssl", "passwd", "-apr1", self.password],
                                capture_output=True, text=True, check=True).stdout.strip()
        self.write("passwd", f"{self.user}:{hashed}\n")

    def configure(self, port):
        config = self.write("squid.conf", SQUID_CONFIG.format(
            port=port, dir=self._dir, auth=SQUID_BASIC.format(dir=self._dir)))
        self.hand_to("proxy")
        return ["squid", "-f", config, "-N"]

    def requests(self):
        """What squid passed on, as (method, URL) from its access log."""
        entries = [line.split()[5:7] for line in self.read("access.log").splitlines()]
        # Connections that sent no request (a probe for the open port) are logged as "-".
        return [tuple(entry) for entry in entries if entry[0] != "-"]


class SquidSignInProxy(LocalDaemon):
    """squid that asks for Negotiate when given a Kerberos realm, else for NTLM. Its access
    log names the user each request signed in as. Two of them run side by side under
    service names of their own."""

    name = "squid"
    stop_seconds = 15

    def __init__(self, realm=None):
        self.realm = realm
        super().__init__()

    def prepare(self):
        if self.realm:
            shutil.copy(self.realm.keytab, self.file("http.keytab"))

    def daemon_environment(self):
        return self.realm.environment() if self.realm else {}

    def configure(self, port):
        auth = SQUID_NTLM
        if self.realm:
            auth = SQUID_NEGOTIATE.format(keytab=self.file("http.keytab"),
                                          service=f"{SERVICE}@{REALM}")
        config = self.write("squid.conf", SQUID_CONFIG.format(port=port, dir=self._dir,
                                                              auth=auth))
        self.hand_to("proxy")
        return ["squid", "-f", config, "-N", "-n", f"zavora{port}"]

    def users(self):
        """The user of each request in the access log, "-" for none."""
        return [line.split()[7] for line in self.read("access.log").splitlines()]
