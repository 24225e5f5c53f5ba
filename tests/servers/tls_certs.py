"""Certificates for the HTTPS tests, made with openssl at test time in a folder of their own.

A test CA (``ca_pem``, and ``ca_der`` for Windows' root store) signs the server
certificates; ``pair(kind)`` gives (certificate file, key file) for each kind:

    good          localhost (and mixed-ends.localhost, for a proxy test), from the test CA
    other-name    www.other.example, from the test CA
    expired       localhost, from the test CA, no longer valid
    self-signed   localhost, signed by itself
    untrusted-ca  localhost, from a second CA that nobody trusts

Only ``localhost`` serves as the name: Wine's check refused an IP address in the subject
alternative name.
"""

import os
import secrets
import subprocess

KINDS = ("good", "other-name", "expired", "self-signed", "untrusted-ca")


def _openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class TestCertificates:
    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        # One key serves every server certificate: keys are slow to make, and the tests
        # are about the certificates.
        self.key = self._path("server.key")
        _openssl("genrsa", "-out", self.key, "2048")
        # A fresh name per run: a CA left in a reused Wine prefix is never mistaken for it.
        self.ca_pem, ca_key = self._make_ca("ca", f"Zavora Test CA {secrets.token_hex(4)}")
        self.ca_der = self._path("ca.der")
        _openssl("x509", "-in", self.ca_pem, "-outform", "DER", "-out", self.ca_der)
        other_ca, other_key = self._make_ca("other-ca", "Nobody's CA")
        self._pairs = {
            "good": self._issue("good", "localhost", self.ca_pem, ca_key, days=30,
                                also="mixed-ends.localhost"),
            "other-name": self._issue("other-name", "www.other.example", self.ca_pem, ca_key,
                                      days=30),
            # openssl takes a negative count of days: the validity ends before it begins.
            "expired": self._issue("expired", "localhost", self.ca_pem, ca_key, days=-1),
            "untrusted-ca": self._issue("untrusted-ca", "localhost", other_ca, other_key,
                                        days=30),
        }
        self_signed = self._path("self-signed.pem")
        _openssl("req", "-x509", "-key", self.key, "-out", self_signed, "-days", "30",
                 "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost")
        self._pairs["self-signed"] = (self_signed, self.key)

    def pair(self, kind):
        return self._pairs[kind]

    def _path(self, name):
        return os.path.join(self.folder, name)

    def _make_ca(self, name, common_name):
        pem, key = self._path(f"{name}.pem"), self._path(f"{name}.key")
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", pem,
                 "-days", "30", "-subj", f"/CN={common_name}")
        return pem, key

    def _issue(self, name, host, ca_pem, ca_key, days, also=None):
        csr, pem, ext = self._path(f"{name}.csr"), self._path(f"{name}.pem"), self._path(
            f"{name}.ext")
        with open(ext, "w") as f:
            names = f"DNS:{host}" + (f",DNS:{also}" if also else "")
            f.write(f"subjectAltName={names}\nextendedKeyUsage=serverAuth\n"
                    "basicConstraints=CA:FALSE\n")
        _openssl("req", "-new", "-key", self.key, "-out", csr, "-subj", f"/CN={host}")
        _openssl("x509", "-req", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key,
                 "-CAcreateserial", "-days", str(days), "-extfile", ext, "-out", pem)
        return pem, self.key
