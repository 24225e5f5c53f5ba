#!/usr/bin/env python3
"""Runs a command with the tests' own host names, without changing the machine's /etc/hosts:

    test_hosts.py <command...>

    ip6.zavora.test     ::1 only
    dual.zavora.test    ::1 and 127.0.0.1

The names go into a copy of /etc/hosts that a private mount namespace (unshare -m, as root)
lays over the file for the command and its children only; Wine's programs resolve through
the same file. The command sees ZV_IPV6_NAME and ZV_DUAL_NAME. Where no namespace can be
made, the command runs without the names and without those variables, and the tests that
need them skip.
"""

import os
import subprocess
import sys
import tempfile

NAMES = {"ZV_IPV6_NAME": ("ip6.zavora.test", ["::1"]),
         "ZV_DUAL_NAME": ("dual.zavora.test", ["::1", "127.0.0.1"])}


def main():
    command = sys.argv[1:]
    if not command:
        sys.exit(__doc__)
    if "ZV_DUAL_NAME" in os.environ or subprocess.run(
            ["unshare", "-m", "true"], stderr=subprocess.DEVNULL).returncode != 0:
        return subprocess.call(command)
    with open("/etc/hosts") as machine:
        hosts = machine.read()
    for name, addresses in NAMES.values():
        hosts += "".join(f"\n{address} {name}" for address in addresses)
    env = dict(os.environ, **{variable: name for variable, (name, _) in NAMES.items()})
    with tempfile.NamedTemporaryFile("w", prefix="zv-hosts-", delete=False) as copy:
        copy.write(hosts + "\n")
    os.chmod(copy.name, 0o644)
    try:
        return subprocess.call(["unshare", "-m", "sh", "-c",
                                'mount --bind "$0" /etc/hosts && exec "$@"', copy.name, *command],
                               env=env)
    finally:
        os.unlink(copy.name)


if __name__ == "__main__":
    sys.exit(main())
