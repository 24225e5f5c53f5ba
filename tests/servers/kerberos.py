"""A Kerberos realm of MIT's KDC (Debian's krb5-kdc) on a free loopback port, for proxies that
sign users in with Negotiate: realm ZAVORA.TEST, the user ``agent`` with a password, and the
service ``HTTP/localhost`` with its key in a keytab for the proxy.

The realm's configuration lives in its scratch folder: clients find it through
``KRB5_CONFIG`` and their tickets through ``KRB5CCNAME`` (``environment(cache)``), the KDC
through ``KRB5_KDC_PROFILE``. ``kinit(cache, lifetime)`` fills a file cache with the user's
ticket, as a user's sign-in to Windows does.

    with KerberosRealm() as realm:
        realm.kinit(path)                    # a valid ticket
        realm.kinit(path, lifetime="2s")     # one that runs out soon
        env.update(realm.environment(path))
"""

import os
import subprocess

from local import LocalDaemon

REALM = "ZAVORA.TEST"
USER = "agent"
PASSWORD = "s3cret"
SERVICE = "HTTP/localhost"

# Names are taken as written (a reverse lookup of 127.0.0.1 must not turn localhost into
# another name), and no DNS is asked for the realm or its KDC.
KRB5_CONF = """[libdefaults]
    default_realm = {realm}
    dns_lookup_kdc = false
    dns_lookup_realm = false
    dns_canonicalize_hostname = false
    rdns = false
[realms]
    {realm} = {{
        kdc = 127.0.0.1:{port}
    }}
[domain_realm]
    localhost = {realm}
"""

KDC_CONF = """[kdcdefaults]
    kdc_ports = {port}
    kdc_tcp_ports = {port}
[realms]
    {realm} = {{
        database_name = {dir}/principal
        key_stash_file = {dir}/stash
        acl_file = {dir}/kadm5.acl
        max_life = 1h
    }}
[logging]
    kdc = FILE:{dir}/error.log
"""


class KerberosRealm(LocalDaemon):
    name = "kdc"

    def configure(self, port):
        fields = dict(realm=REALM, port=port, dir=self._dir)
        self.write("krb5.conf", KRB5_CONF.format(**fields))
        self.write("kdc.conf", KDC_CONF.format(**fields))
        if not os.path.exists(self.file("principal")):
            self._admin(["kdb5_util", "create", "-s", "-r", REALM, "-P", "master-s3cret"])
            for query in (f"addprinc -pw {PASSWORD} {USER}", f"addprinc -randkey {SERVICE}",
                          f"ktadd -k {self.keytab} {SERVICE}"):
                self._admin(["kadmin.local", "-r", REALM, "-q", query])
        return ["krb5kdc", "-n", "-r", REALM]

    def daemon_environment(self):
        return self.environment()

    @property
    def keytab(self):
        return self.file("http.keytab")

    def environment(self, cache=None):
        """What a client of the realm needs: its configuration and, given one, a ticket cache."""
        env = {"KRB5_CONFIG": self.file("krb5.conf"), "KRB5_KDC_PROFILE": self.file("kdc.conf")}
        if cache:
            env["KRB5CCNAME"] = f"FILE:{cache}"
        return env

    def kinit(self, cache, lifetime="1h"):
        subprocess.run(["kinit", "-l", lifetime, USER], input=PASSWORD + "\n", text=True,
                       env={**os.environ, **self.environment(cache)}, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def has_ticket(self, cache):
        """Whether the cache holds a ticket that has not run out (klist -s)."""
        return subprocess.run(["klist", "-s"], env={**os.environ, **self.environment(cache)},
                              stdin=subprocess.DEVNULL).returncode == 0

    def _admin(self, command):
        subprocess.run(command, env={**os.environ, **self.environment()}, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
