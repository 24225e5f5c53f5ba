#!/usr/bin/env python3
"""Rebuilds the seed corpora in corpus/<target>/ from the fault server's replies.

    cmake --build <fuzz-build-dir> --target fuzz_corpus

Every behaviour of tests/servers/fault_server.py is asked for with HEAD and GET; what
arrives within a second (stalling replies are cut there, long ones at 8 KiB) becomes a raw
seed, and each fuzz target's libFuzzer merge keeps the seeds that add coverage.
"""

import base64
import os
import shutil
import socket
import subprocess
import sys
import tempfile

from fault_server import BEHAVIOURS, NTLM_CHALLENGE, SIGN_IN_OFFERS, FaultServer

HERE = os.path.dirname(os.path.abspath(__file__))

TARGETS = ["fuzz_head_response", "fuzz_news_list", "fuzz_base64"]
SEED_LIMIT = 8192


def fetch(port, method, path):
    data = b""
    with socket.create_connection(("127.0.0.1", port)) as conn:
        conn.sendall(f"{method} {path} HTTP/1.0\nUser-Agent: Zavora News Agent\n\n".encode())
        conn.settimeout(1)
        try:
            while len(data) < SEED_LIMIT:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                data += chunk
        except (socket.timeout, ConnectionResetError):
            pass
    return data[:SEED_LIMIT]


def main():
    build = os.path.abspath(sys.argv[1])
    raw = tempfile.mkdtemp(prefix="zv-seeds-")
    try:
        with FaultServer() as server:
            for name in BEHAVIOURS:
                if name in ("trickle",):
                    continue
                for method in ("HEAD", "GET"):
                    reply = fetch(server.port, method, f"/fault/{name}")
                    with open(os.path.join(raw, f"{method}-{name}"), "wb") as f:
                        f.write(reply)
        with open(os.path.join(raw, "credentials"), "wb") as f:
            f.write(b"agent:s3cret")
        # A proxy's 407s that ask for sign-in, with and without a token.
        token = base64.b64encode(NTLM_CHALLENGE).decode()
        for name, offers in list(SIGN_IN_OFFERS.items()) + [("challenge", [f"NTLM {token}"])]:
            with open(os.path.join(raw, f"sign-in-{name}"), "wb") as f:
                f.write(("HTTP/1.0 407 x\r\n" + "".join(
                    f"Proxy-Authenticate: {offer}\r\n" for offer in offers) + "\r\n").encode())
        for target in TARGETS:
            corpus = os.path.join(HERE, "corpus", target)
            shutil.rmtree(corpus, ignore_errors=True)
            os.makedirs(corpus)
            subprocess.run([os.path.join(build, "tests", "fuzz", target), "-merge=1", corpus, raw],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            print(target, len(os.listdir(corpus)), "seeds")
    finally:
        shutil.rmtree(raw, ignore_errors=True)


if __name__ == "__main__":
    main()
