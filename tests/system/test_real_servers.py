"""The agent against real servers from Debian's packages, one row per server: directly
against nginx, Apache, lighttpd and Apache's second name-based virtual host, and through
tinyproxy and squid with right, wrong and missing credentials; over HTTPS directly against
nginx and through tinyproxy's CONNECT tunnel with right, wrong and missing credentials.

A good row sees HEAD then GET at the site, finds the list stored in place of the old one,
and on Refresh sends only HEAD, the Last-Modified being unchanged. A refused row reaches
no site and keeps the old list. Each server starts once for the module, when a row first
needs it.
"""

import contextlib
import email.utils
from dataclasses import dataclass, field

import pytest

from agent_contract import ID_TASKBAR_REFRESH
from conftest import (
    DATA_KEY,
    SETTINGS_KEY,
    data_values,
    wait_for,
    wait_until_idle,
)

from proxy import SquidProxy, TinyProxy
from sites import DEFAULT_MTIME, ApacheSite, LighttpdSite, NginxSite

PROXY_USER = "agent"
PROXY_PASSWORD = "s3cret"
ENTRIES = [
    ("2026-12-08", "Second day & night", "http://www.zavora.example/news/2"),
    ("2026-12-08", "Late edition", "http://www.zavora.example/news/3"),
]
STORED = data_values("edition-0", "Thu, 01 Jan 2026 00:00:00 GMT",
                     [("2026-01-01", "Old", "http://www.zavora.example/old")])


def news_text(epoch, entries):
    return "".join([f"{epoch}\n"] + [f"{date} {title}\n{url}\n" for date, title, url in entries])


NEWS = news_text("edition-2", ENTRIES)
POLLED = data_values("edition-2", email.utils.formatdate(DEFAULT_MTIME, usegmt=True), ENTRIES)

# Each takes the session's test certificates, which only nginx uses.
SERVERS = {
    "nginx": lambda certificates: NginxSite(news=NEWS, certificates=certificates),
    "nginx asking for a client certificate": lambda certificates: NginxSite(
        news=NEWS, certificates=certificates, ask_client_certificate=True),
    "apache": lambda _: ApacheSite(news=NEWS),
    "apache-vhosts": lambda _: ApacheSite(news=NEWS, other_news=news_text(
        "other-1", [("2026-12-08", "Another site", "http://other.zavora.example/1")])),
    "lighttpd": lambda _: LighttpdSite(news=NEWS),
    "tinyproxy": lambda _: TinyProxy(user=PROXY_USER, password=PROXY_PASSWORD),
    "squid": lambda _: SquidProxy(user=PROXY_USER, password=PROXY_PASSWORD),
}

RIGHT = {"useProxyAuth": 1, "authPassword": PROXY_PASSWORD}
WRONG = {"useProxyAuth": 1, "authPassword": "wrong"}
MISSING = {"useProxyAuth": 0, "authPassword": PROXY_PASSWORD}


@dataclass(frozen=True)
class Row:
    site: str
    proxy: str = None
    credentials: dict = field(default_factory=dict)
    polls: bool = True
    scheme: str = "http"


ROWS = {
    "nginx": Row("nginx"),
    "Apache": Row("apache"),
    "lighttpd": Row("lighttpd"),
    "Apache, second of two virtual hosts": Row("apache-vhosts"),
    "tinyproxy, right credentials": Row("nginx", "tinyproxy", RIGHT),
    "tinyproxy, wrong password": Row("nginx", "tinyproxy", WRONG, polls=False),
    "tinyproxy, no credentials": Row("nginx", "tinyproxy", MISSING, polls=False),
    "squid, right credentials": Row("nginx", "squid", RIGHT),
    "squid, wrong password": Row("nginx", "squid", WRONG, polls=False),
    "squid, no credentials": Row("nginx", "squid", MISSING, polls=False),
    "nginx over HTTPS": Row("nginx", scheme="https"),
    "nginx over HTTPS, asking for an optional client certificate": Row(
        "nginx asking for a client certificate", scheme="https"),
    "tinyproxy tunnel, right credentials": Row("nginx", "tinyproxy", RIGHT, scheme="https"),
    "tinyproxy tunnel, wrong password": Row("nginx", "tinyproxy", WRONG, polls=False,
                                            scheme="https"),
    "tinyproxy tunnel, no credentials": Row("nginx", "tinyproxy", MISSING, polls=False,
                                            scheme="https"),
}


@pytest.fixture(scope="module")
def servers(certificates):
    """servers(name) starts a server of SERVERS on first use; all stop with the module."""
    with contextlib.ExitStack() as stack:
        started = {}

        def get(name):
            if name not in started:
                started[name] = stack.enter_context(SERVERS[name](certificates))
            return started[name]

        yield get


def settings_for(row, servers):
    site = servers(row.site)
    # Only a failed poll clears the flag; a new list sets it.
    settings = {"urlHost": site.host, "urlPort": site.port, "urlPath": site.path,
                "newEntriesFlag": "1"}
    if row.scheme == "https":
        # The scheme is read in any case; the certificate is for localhost.
        settings.update(urlScheme="HTTPS", urlHost="localhost", urlPort=site.tls_port)
    if row.proxy:
        settings.update(useProxy=1, proxyHost=" 127.0.0.1 ", proxyPort=servers(row.proxy).port,
                        authUsername=PROXY_USER, **row.credentials)
    return settings


@pytest.mark.parametrize("row", ROWS.values(), ids=ROWS.keys())
def test_poll_stores_the_list_and_refresh_finds_it_unchanged(row, servers, agent, registry,
                                                             drive):
    site = servers(row.site)
    registry.write(DATA_KEY, STORED)
    registry.write(SETTINGS_KEY, settings_for(row, servers))
    earlier = len(site.requests())

    agent.start()
    wait_until_idle(drive)
    if row.polls:
        drive.command(ID_TASKBAR_REFRESH)
        assert wait_for(lambda: len(site.requests()) >= earlier + 3, 10), "no second poll"
        wait_until_idle(drive)
    assert agent.exit() == 0

    methods = ["HEAD", "GET", "HEAD"] if row.polls else []
    assert site.requests()[earlier:] == [(method, site.path, "200") for method in methods]
    data = POLLED if row.polls else STORED
    assert registry.query(DATA_KEY) == {name: str(value) for name, value in data.items()}
    settings = registry.query(SETTINGS_KEY)
    assert settings["newEntriesFlag"] == ("1" if row.polls else "0")
    if row.proxy:
        # The proxy host is trimmed before use, and the trimmed text is what is saved.
        assert settings["proxyHost"] == "127.0.0.1"
