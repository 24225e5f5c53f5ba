"""The agent against real servers from Debian's packages, one row per server: directly
against nginx, Apache, lighttpd and Apache's second name-based virtual host, and through
tinyproxy and squid with right, wrong and missing credentials; over HTTPS directly against
nginx and through tinyproxy's CONNECT tunnel with right, wrong and missing credentials.

With the agent's own proxy off, squid serves as the proxy of Windows' settings: fixed, or
named by a proxy script that nginx serves, with the bypass list (its wildcards are rows of
the network tests), a script that fails and
an automatic detection that finds nothing. nginx on ::1 alone is polled by IPv6 literals,
by a name with ::1 only, by a name with both addresses whose IPv4 port is closed, and over
HTTPS through squid's tunnel (the names come from tests/servers/test_hosts.py). The About
box names the route that Windows' settings chose.

A good row sees HEAD then GET at the site, finds the list stored in place of the old one,
and on Refresh sends only HEAD, the Last-Modified being unchanged. A refused row reaches
no site and keeps the old list. Each server starts once for the module, when a row first
needs it.
"""

import contextlib
import email.utils
from dataclasses import dataclass, field

import pytest

import os

from agent_contract import ID_TASKBAR_REFRESH
from conftest import (
    DATA_KEY,
    SETTINGS_KEY,
    about_last_poll,
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
    "nginx on ::1": lambda certificates: NginxSite(news=NEWS, certificates=certificates,
                                                   ipv6=True),
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


# Proxy scripts on the "nginx" site: localhost goes through squid, any other host direct;
# the other script fails when it runs.
SCRIPTS = {
    "proxy.pac": 'function FindProxyForURL(url, host) {\n'
                 '    return host == "localhost" ? "PROXY 127.0.0.1:{squid}; DIRECT" : "DIRECT";\n'
                 '}\n',
    "broken.pac": "function FindProxyForURL(url, host) { return noSuchFunction(host); }\n",
}
SQUID = "127.0.0.1:{squid}"


@dataclass(frozen=True)
class Row:
    site: str
    proxy: str = None
    credentials: dict = field(default_factory=dict)
    polls: bool = True
    scheme: str = "http"
    # urlHost instead of the site's: "$ZV_IPV6_NAME" and "$ZV_DUAL_NAME" are names of
    # test_hosts.py, without which the row is skipped.
    host: str = None
    proxy_host: str = " 127.0.0.1 "
    # Windows' proxy settings (conftest.connection_settings), "{squid}" for squid's port and
    # "{nginx}" for the script site's address; the agent's own proxy stays off.
    windows: dict = None
    # The route the About box names ("" for none); squid carries the requests when it says
    # "through".
    route: str = None


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
    "Windows' fixed proxy": Row("nginx", credentials=RIGHT, windows={"proxy": SQUID},
                                route=f"through {SQUID} (Windows settings)"),
    "Windows' bypass list, <local>": Row(
        "nginx", host="localhost", windows={"proxy": SQUID, "bypass": "<local>;127.0.0.*"},
        route="direct (Windows settings)"),
    "proxy script, through squid": Row(
        "nginx", host="localhost", credentials=RIGHT,
        windows={"script": "http://{nginx}/proxy.pac"}, route=f"through {SQUID} (Windows settings)"),
    "proxy script, direct": Row("nginx", windows={"script": "http://{nginx}/proxy.pac"},
                                route="direct (Windows settings)"),
    "proxy script that fails, then the fixed proxy": Row(
        "nginx", credentials=RIGHT, windows={"script": "http://{nginx}/broken.pac", "proxy": SQUID},
        route=f"through {SQUID} (Windows settings; the proxy script failed)"),
    "automatic detection that finds nothing": Row("nginx", windows={"detect": True}, route=""),
    "IPv6 name with ::1 only": Row("nginx on ::1", host="$ZV_IPV6_NAME"),
    "IPv6 literal without brackets": Row("nginx on ::1", host="::1"),
    "IPv6 and IPv4 name, IPv4 port closed": Row("nginx on ::1", host="$ZV_DUAL_NAME"),
    "squid tunnel at [::1] to an IPv6 site": Row(
        "nginx on ::1", "squid", RIGHT, scheme="https", host="$ZV_IPV6_NAME",
        proxy_host="[::1]"),
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


def url_host(row):
    if not row.host or not row.host.startswith("$"):
        return row.host
    if row.host[1:] not in os.environ:
        pytest.skip("the tests' host names are missing: run through tests/servers/test_hosts.py")
    return os.environ[row.host[1:]]


def settings_for(row, servers):
    site = servers(row.site)
    # Only a failed poll clears the flag; a new list sets it.
    settings = {"urlHost": site.host, "urlPort": site.port, "urlPath": site.path,
                "newEntriesFlag": "1"}
    if row.scheme == "https":
        # The scheme is read in any case; the certificate is for localhost.
        settings.update(urlScheme="HTTPS", urlHost="localhost", urlPort=site.tls_port)
    settings["urlHost"] = url_host(row) or settings["urlHost"]
    if row.proxy:
        settings.update(useProxy=1, proxyHost=row.proxy_host, proxyPort=servers(row.proxy).port)
    if row.proxy or row.windows:
        settings.update(authUsername=PROXY_USER, **row.credentials)
    return settings


def windows_settings(row, servers):
    """The row's Windows settings with the servers' addresses filled in."""
    if row.windows is None:
        return {}
    squid = servers("squid")
    scripts = servers("nginx")
    for name, text in SCRIPTS.items():
        scripts.put(name, text.replace("{squid}", str(squid.port)))
    address = f"127.0.0.1:{scripts.port}"
    return {name: value.replace("{squid}", str(squid.port)).replace("{nginx}", address)
            if isinstance(value, str) else value for name, value in row.windows.items()}


@pytest.mark.parametrize("row", ROWS.values(), ids=ROWS.keys())
def test_poll_stores_the_list_and_refresh_finds_it_unchanged(row, servers, agent, registry,
                                                             drive, windows_proxy):
    site = servers(row.site)
    registry.write(DATA_KEY, STORED)
    registry.write(SETTINGS_KEY, settings_for(row, servers))
    windows = windows_settings(row, servers)
    if windows:
        windows_proxy(**windows)
    # squid as the proxy of Windows' settings, or as the agent's own that lets the requests pass.
    squid = servers("squid") if windows or (row.proxy == "squid" and row.polls) else None
    proxied = len(squid.requests()) if squid else 0
    earlier = len(site.requests())

    agent.start()
    wait_until_idle(drive)
    if row.polls:
        drive.command(ID_TASKBAR_REFRESH)
        assert wait_for(lambda: len(site.requests()) >= earlier + 3, 10), "no second poll"
        wait_until_idle(drive)
    if row.route is not None:
        # The About box joins its lines with two blanks.
        route = row.route.replace("{squid}", str(servers("squid").port))
        assert about_last_poll(drive).endswith("  " + route if route else ", nothing new")
    assert agent.exit() == 0

    methods = ["HEAD", "GET", "HEAD"] if row.polls else []
    # The proxy scripts come from the same nginx.
    news = [request for request in site.requests()[earlier:] if request[1] == site.path]
    assert news == [(method, site.path, "200") for method in methods]
    if squid:
        # squid logs a request once it has ended, tunnels too.
        carried = row.proxy == "squid" or (row.route or "").startswith("through")
        expected = len(methods) if carried else 0
        assert wait_for(lambda: len(squid.requests()) - proxied >= expected, 5)
        assert len(squid.requests()) - proxied == expected
    data = POLLED if row.polls else STORED
    assert registry.query(DATA_KEY) == {name: str(value) for name, value in data.items()}
    settings = registry.query(SETTINGS_KEY)
    assert settings["newEntriesFlag"] == ("1" if row.polls else "0")
    if row.proxy:
        # The proxy host is trimmed before use, and the trimmed text is what is saved.
        assert settings["proxyHost"] == row.proxy_host.strip()
