#!/usr/bin/env python3
"""Runs a command with local test servers on free loopback ports, then stops them.

    with_servers.py [--nginx] [--proxy] [--fault] [--tls [--trust EXE]] -- <command...>

The command sees these environment variables (Wine hands them on to Windows programs):

    ZV_NGINX_PORT        nginx serving the news list (--nginx)
    ZV_NEWS_PATH         its URL path, "/.newsupdate"
    ZV_NEWS_FILE         the file behind it; rewrite it and set its time to change
                         Last-Modified
    ZV_PROXY_PORT        tinyproxy with Basic credentials (--proxy)
    ZV_PROXY_USER        its user name
    ZV_PROXY_PASSWORD    its password
    ZV_FAULT_PORT        the fault server: behaviour by path /fault/<name> (--fault)
    ZV_FAULT_SILENT_PORT accepts, never reads or answers
    ZV_FAULT_CLOSE_PORT  accepts and closes at once
    ZV_FAULT_BLACKHOLE_PORT  never completes a connection
    ZV_FAULT_IPV6_PORT   the fault server on ::1
    ZV_FAULT_DUAL_<KIND>_PORT  a port on ::1 and 127.0.0.1, KIND one of V4_CLOSED,
                         V6_STALLS, V4_STALLS (see fault_server.py)
    ZV_FAULT_SIGNIN_PORT a proxy that asks for Windows sign-in (/signin/<offer>[-<variant>])
    ZV_FAULT_LOG         directory with last-request.bin, request-<n>.bin and, for the
                         sign-in proxy's requests, connections.txt

With --tls, certificates are made for the run (tls_certs.py), nginx also serves HTTPS and
the fault server its TLS listeners; --trust EXE adds the test CA to the Wine prefix's
machine root store with tools/zv-trust-root.exe for the run:

    ZV_TLS_CA            the test CA's certificate (PEM), for clients on this machine
    ZV_NGINX_TLS_PORT    nginx over HTTPS, certificate for localhost
    ZV_FAULT_TLS_<KIND>_PORT  the fault server behind TLS, KIND one of GOOD, OTHER_NAME,
                         EXPIRED, SELF_SIGNED, UNTRUSTED_CA, TLS1_0, CUT_RECORD,
                         STALL_HANDSHAKE

The exit status is the command's. Python users import the modules instead:
``fault_server.FaultServer``, ``sites.NginxSite``, ``proxy.TinyProxy`` (each a
context manager with start/stop).
"""

import argparse
import contextlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile

from fault_server import FaultServer
from sites import NginxSite
from proxy import TinyProxy
from tls_certs import TestCertificates


def trust(exe, action, certificates):
    """Adds the test CA to the Wine prefix's machine root store, or removes it."""
    der = "Z:" + certificates.ca_der.replace("/", "\\")
    subprocess.run(["wine", exe, action, der], check=True, stdin=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--nginx", action="store_true")
    parser.add_argument("--proxy", action="store_true")
    parser.add_argument("--fault", action="store_true")
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--trust", metavar="EXE")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")

    # A termination request must still run the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    env = dict(os.environ)
    log_dir = tempfile.mkdtemp(prefix="zv-fault-log-")
    try:
        with contextlib.ExitStack() as stack:
            certificates = None
            if args.tls:
                certificates = TestCertificates(os.path.join(log_dir, "tls"))
                env.update(ZV_TLS_CA=certificates.ca_pem)
                if args.trust:
                    trust(args.trust, "add", certificates)
                    stack.callback(trust, args.trust, "remove", certificates)
            if args.nginx:
                site = stack.enter_context(NginxSite(certificates=certificates))
                env.update(ZV_NGINX_PORT=str(site.port), ZV_NEWS_PATH=site.path,
                           ZV_NEWS_FILE=site.news_file)
                if site.tls_port:
                    env.update(ZV_NGINX_TLS_PORT=str(site.tls_port))
            if args.proxy:
                proxy = stack.enter_context(TinyProxy())
                env.update(ZV_PROXY_PORT=str(proxy.port), ZV_PROXY_USER=proxy.user,
                           ZV_PROXY_PASSWORD=proxy.password)
            if args.fault:
                fault = stack.enter_context(FaultServer(log_dir, certificates))
                env.update(ZV_FAULT_PORT=str(fault.port),
                           ZV_FAULT_SILENT_PORT=str(fault.silent_port),
                           ZV_FAULT_CLOSE_PORT=str(fault.close_port),
                           ZV_FAULT_BLACKHOLE_PORT=str(fault.blackhole_port),
                           ZV_FAULT_IPV6_PORT=str(fault.ipv6_port),
                           ZV_FAULT_SIGNIN_PORT=str(fault.signin_port),
                           ZV_FAULT_LOG=log_dir)
                for kind, port in fault.dual_ports.items():
                    env[f"ZV_FAULT_DUAL_{kind.upper().replace('-', '_')}_PORT"] = str(port)
                for kind, port in fault.tls_ports.items():
                    name = kind.upper().replace("-", "_").replace(".", "_")
                    env[f"ZV_FAULT_TLS_{name}_PORT"] = str(port)
            sys.stdout.flush()
            return subprocess.call(command, env=env)
    finally:
        shutil.rmtree(log_dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
