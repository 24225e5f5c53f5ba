#!/usr/bin/env python3
"""Runs a command with local test servers on free loopback ports, then stops them.

    with_servers.py [--nginx] [--proxy] [--fault] -- <command...>

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
    ZV_FAULT_LOG         directory with last-request.bin and request-<n>.bin

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

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from fault_server import FaultServer  # noqa: E402
from sites import NginxSite  # noqa: E402
from proxy import TinyProxy  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--nginx", action="store_true")
    parser.add_argument("--proxy", action="store_true")
    parser.add_argument("--fault", action="store_true")
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
            if args.nginx:
                site = stack.enter_context(NginxSite())
                env.update(ZV_NGINX_PORT=str(site.port), ZV_NEWS_PATH=site.path,
                           ZV_NEWS_FILE=site.news_file)
            if args.proxy:
                proxy = stack.enter_context(TinyProxy())
                env.update(ZV_PROXY_PORT=str(proxy.port), ZV_PROXY_USER=proxy.user,
                           ZV_PROXY_PASSWORD=proxy.password)
            if args.fault:
                fault = stack.enter_context(FaultServer(log_dir))
                env.update(ZV_FAULT_PORT=str(fault.port),
                           ZV_FAULT_SILENT_PORT=str(fault.silent_port),
                           ZV_FAULT_CLOSE_PORT=str(fault.close_port),
                           ZV_FAULT_BLACKHOLE_PORT=str(fault.blackhole_port),
                           ZV_FAULT_LOG=log_dir)
            sys.stdout.flush()
            return subprocess.call(command, env=env)
    finally:
        shutil.rmtree(log_dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
