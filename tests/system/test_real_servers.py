"""The agent against real servers from Debian's packages, one row per server: directly
against nginx, Apache, lighttpd and Apache's second name-based virtual host, and through
tinyproxy and squid with right, wrong and missing credentials; over HTTPS directly against
nginx and through tinyproxy's CONNECT tunnel with right, wrong and missing credentials;
and nginx serving the feeds that Hugo (RSS 2.0) and Jekyll (Atom 1.0) write for the same
three posts, which must also bring the popup and open from the entries menu.
Windows sign-in: through squid with Negotiate and MIT's KDC, with a valid, a missing and an
expired Kerberos ticket and through its tunnel, and through squid with NTLM and stored
credentials; and through the fault server's sign-in proxy, which shows the legs of each
handshake on one connection, closes between legs, or refuses the last leg.

With the agent's own proxy off, squid serves as the proxy of Windows' settings: fixed, or
named by a proxy script that nginx serves, with the bypass list (its wildcards are rows of
the network tests), a script that fails and an automatic detection that finds nothing.
nginx on ::1 alone is polled by an IPv6 literal, by a name with ::1 only, by a name with
both addresses whose IPv4 port is closed, and over HTTPS through squid's tunnel (the names
come from tests/servers/test_hosts.py). The About box names the route that Windows'
settings chose.

A good row sees HEAD then GET at the site, finds the list stored in place of the old one,
and on Refresh sends only HEAD, the Last-Modified being unchanged. A refused row reaches
no site and keeps the old list. Each server starts once for the module, when a row first
needs it.
"""

import concurrent.futures
import contextlib
import datetime
import email.utils
import os
from dataclasses import dataclass, field

import pytest

from agent_contract import ID_NEWS_ENTRY_FIRST, ID_TASKBAR_REFRESH
from conftest import (
    DATA_KEY,
    SETTINGS_KEY,
    Registry,
    about_last_poll,
    ansi_bytes,
    data_values,
    run,
    wait_for,
    wait_popup,
    wait_until_idle,
    windows_path,
)

from fault_server import FaultServer
from kerberos import REALM, USER, KerberosRealm
from proxy import SquidProxy, SquidSignInProxy, TinyProxy
from publishers import hugo_feed, jekyll_feed
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

# The posts of the published feeds, newest first as both generators list them. In the past,
# as both leave out posts of the future; at midday, so that their day is the same in UTC
# (which Jekyll writes) and in their own zone (which Hugo writes), and for Jekyll's addresses
# under any time zone. Short enough for the entries menu to show whole.
BLOG = "http://blog.zavora.example"
POSTS = [
    ("bridge", "Bridge reopens & traffic flows",
     datetime.datetime(2024, 12, 7, 12, 30, tzinfo=datetime.timezone.utc)),
    ("budget", "Council approves winter budget",
     datetime.datetime(2024, 12, 6, 11, 0, tzinfo=datetime.timezone(datetime.timedelta(hours=1)))),
    ("cafe", "Caf\u00e9 \u201eZur Br\u00fccke\u201c opens again",
     datetime.datetime(2024, 12, 5, 12, 0, tzinfo=datetime.timezone.utc)),
]
# Each generator's feed, its path, and the address it gives a post; the epoch is the newest
# post's guid or id.
FEEDS = {
    "hugo": (lambda: hugo_feed(POSTS, BLOG), "/index.xml",
             lambda slug, time: f"{BLOG}/posts/{slug}/", f"{BLOG}/posts/bridge/"),
    "jekyll": (lambda: jekyll_feed(POSTS, BLOG), "/feed.xml",
               lambda slug, time: f"{BLOG}/{time:%Y/%m/%d}/{slug}.html",
               f"{BLOG}/2024/12/07/bridge"),
}
# Dates as the agent shows them: the day the feed wrote, in the short format the module sets.
SHORT_DATE_KEY = r"HKCU\Control Panel\International"


def feed_entries(generator):
    address = FEEDS[generator][2]
    return [(f"{time:%Y-%m-%d}", title, address(slug, time)) for slug, title, time in POSTS]


def feed_polled(generator):
    return data_values(FEEDS[generator][3], email.utils.formatdate(DEFAULT_MTIME, usegmt=True),
                       feed_entries(generator))


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
    **{f"nginx-{generator}": (lambda make, path: lambda _: NginxSite(news=make(), path=path))(
        make, path) for generator, (make, path, _, _) in FEEDS.items()},
}

# Windows sign-in: the realm and the squids that ask for it.
SIGN_IN_SERVERS = ("squid-kerberos", "squid-ntlm")

RIGHT = {"useProxyAuth": 1, "authPassword": PROXY_PASSWORD}
WRONG = {"useProxyAuth": 1, "authPassword": "wrong"}
MISSING = {"useProxyAuth": 0, "authPassword": PROXY_PASSWORD}
# With no proxy user, the logged-on user's own credentials: here the Kerberos ticket.
OWN = {"useProxyAuth": 0, "authUsername": "", "authPassword": ""}
STORED_WINDOWS = {"useProxyAuth": 1, "authUsername": "ZAVORA\\agent"}
NO_TICKET = "no Kerberos ticket for localhost"


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
    feed: str = None  # the generator of the feed the site serves
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
    ticket: str = None  # Kerberos: "valid", "expired" or "none"
    reason: str = None  # the About box's reason after a refused poll


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
    "nginx, Hugo's RSS feed": Row("nginx-hugo", feed="hugo"),
    "nginx, Jekyll's Atom feed": Row("nginx-jekyll", feed="jekyll"),
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
    # The service name is HTTP/<proxy host>, so the proxy goes by the keytab's name.
    "squid with Kerberos, valid ticket": Row("nginx", "squid-kerberos", OWN,
                                             proxy_host="localhost", ticket="valid"),
    "squid with Kerberos, no ticket": Row("nginx", "squid-kerberos", OWN, polls=False,
                                          proxy_host="localhost", ticket="none",
                                          reason=NO_TICKET),
    "squid with Kerberos, expired ticket": Row("nginx", "squid-kerberos", OWN, polls=False,
                                               proxy_host="localhost", ticket="expired",
                                               reason=NO_TICKET),
    "squid tunnel with Kerberos, valid ticket": Row("nginx", "squid-kerberos", OWN,
                                                    scheme="https", proxy_host="localhost",
                                                    ticket="valid"),
    # Debian 12's ntlm_fake_auth writes a garbage offset (0xaaaaaaae) for the domain name in
    # its challenge, which Samba's ntlm_auth, Wine's NTLM, refuses as an invalid parameter: the
    # poll fails with a reason after the second leg instead of hanging or looping. The whole
    # handshake with Wine's NTLM runs against the fault server's sign-in proxy below.
    "squid with NTLM, its challenge refused": Row("nginx", "squid-ntlm", STORED_WINDOWS,
                                                  polls=False, proxy_host="localhost",
                                                  reason="the proxy refused your Windows sign-in"),
}


@pytest.fixture(scope="module", autouse=True)
def sign_in_servers():
    """The Kerberos realm and the squids of SIGN_IN_SERVERS, started in the background when
    the module starts, beside its first rows; the call waits until they are up."""
    with contextlib.ExitStack() as stack:
        def start():
            realm = stack.enter_context(KerberosRealm())
            return {"realm": realm,
                    "squid-kerberos": stack.enter_context(SquidSignInProxy(realm)),
                    "squid-ntlm": stack.enter_context(SquidSignInProxy())}

        with concurrent.futures.ThreadPoolExecutor(1) as pool:
            started = pool.submit(start)
            yield started.result


@pytest.fixture(scope="module", autouse=True)
def short_dates(agent_exe):
    """The user's short date format is yyyy-MM-dd for the agents of this module."""
    before = Registry().query(SHORT_DATE_KEY).get("sShortDate")
    run(["wine", "reg", "add", SHORT_DATE_KEY, "/v", "sShortDate", "/d", "yyyy-MM-dd", "/f"],
        check=True)
    yield
    if before is None:
        run(["wine", "reg", "delete", SHORT_DATE_KEY, "/v", "sShortDate", "/f"])
    else:
        run(["wine", "reg", "add", SHORT_DATE_KEY, "/v", "sShortDate", "/d", before, "/f"])


@pytest.fixture(scope="module")
def servers(certificates, sign_in_servers):
    """servers(name) starts a server of SERVERS on first use; all stop with the module."""
    with contextlib.ExitStack() as stack:
        started = {}

        def get(name):
            if name in SIGN_IN_SERVERS:
                return sign_in_servers()[name]
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
        settings.update({"authUsername": PROXY_USER, **row.credentials})
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


def give_ticket(row, agent, sign_in_servers, folder):
    """The Kerberos ticket of the row in a cache that the agent's Kerberos reads."""
    realm = sign_in_servers()["realm"]
    cache = folder / "ticket"
    if row.ticket == "valid":
        realm.kinit(cache)
    elif row.ticket == "expired":
        realm.kinit(cache, lifetime="1s")
        assert wait_for(lambda: not realm.has_ticket(cache), 10), "the ticket did not run out"
    agent.env.update(realm.environment(cache))


@pytest.mark.parametrize("row", ROWS.values(), ids=ROWS.keys())
def test_poll_stores_the_list_and_refresh_finds_it_unchanged(row, servers, agent, registry,
                                                             drive, windows_proxy, sign_in_servers,
                                                             tmp_path):
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
    if row.ticket:
        give_ticket(row, agent, sign_in_servers, tmp_path)

    agent.start()
    wait_until_idle(drive)
    if row.reason:
        assert about_last_poll(drive).endswith(row.reason)
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
    data = feed_polled(row.feed) if row.feed else POLLED if row.polls else STORED
    # Titles come back in the ANSI code page; the agent stored the feed's UTF-8.
    assert {name: ansi_bytes(value).decode() for name, value in registry.texts(DATA_KEY).items()
            } == {name: str(value) for name, value in data.items()}
    settings = registry.query(SETTINGS_KEY)
    assert settings["newEntriesFlag"] == ("1" if row.polls else "0")
    if row.proxy:
        # The proxy host is trimmed before use, and the trimmed text is what is saved.
        assert settings["proxyHost"] == row.proxy_host.strip()
    if row.ticket == "valid":
        assert f"{USER}@{REALM}" in servers(row.proxy).users(), "no request signed in"


@dataclass(frozen=True)
class SignInRow:
    path: str
    connections: str  # the sign-in proxy's connections, a letter each, HEAD's and GET's
    reason: str = None  # for a refused poll


SIGN_IN_ROWS = {
    "the legs of each handshake on one connection": SignInRow("/signin/ntlm", "ABBCC"),
    "the proxy closing between legs": SignInRow("/signin/ntlm-close", "ABCCDD"),
    "the proxy answering 407 after the last leg": SignInRow(
        "/signin/ntlm-again", "ABB", "the proxy refused your Windows sign-in"),
}


@pytest.mark.parametrize("row", SIGN_IN_ROWS.values(), ids=SIGN_IN_ROWS.keys())
def test_windows_sign_in_through_a_recording_proxy(row, agent, registry, drive):
    """Wine's NTLM with stored credentials against the fault server's sign-in proxy, which
    records the connection of each request and serves the list itself."""
    with FaultServer() as proxy:
        registry.write(DATA_KEY, STORED)
        registry.write(SETTINGS_KEY, {
            "urlHost": "news.example", "urlPort": 80, "urlPath": row.path,
            "useProxy": 1, "proxyHost": "127.0.0.1", "proxyPort": proxy.signin_port,
            "useProxyAuth": 1, "authUsername": "ZAVORA\\agent", "authPassword": "s3cret"})
        agent.start()
        wait_until_idle(drive)
        if row.reason:
            assert about_last_poll(drive).endswith(row.reason)
        assert agent.exit() == 0
        requests = proxy.requests
    first = requests[0].connection
    assert "".join(chr(ord("A") + r.connection - first) for r in requests) == row.connections
    assert [r.method for r in requests[-2:]] == (["GET"] * 2 if not row.reason else ["HEAD"] * 2)
    stored = registry.query(DATA_KEY)
    assert stored["epoch"] == ("edition-0" if row.reason else "edition-7")


@pytest.mark.parametrize("generator", FEEDS)
def test_published_feed_brings_the_popup_and_its_entries_open(generator, servers, agent,
                                                              registry, drive, tmp_path):
    site = servers(f"nginx-{generator}")
    registry.write(SETTINGS_KEY, {"urlHost": site.host, "urlPort": site.port,
                                  "urlPath": site.path})
    recorder_log = tmp_path / "recorder.log"
    agent.env["ZV_RECORDER_LOG"] = windows_path(recorder_log)
    agent.start()
    assert wait_popup(drive, 15) is not None, "no popup for the feed's entries"
    wait_until_idle(drive)

    entries = feed_entries(generator)
    items = drive.look_menu("left")
    assert [item["text"] for item in items[:len(entries)]] == [
        f"{date} {title.replace('&', '&&')}" for date, title, _ in entries]
    drive.tray("left")
    drive.choose(ID_NEWS_ENTRY_FIRST + 2)
    assert wait_for(recorder_log.exists, 10), "no browser was started"
    # The recorder logs its quoted path, a blank and the quoted address.
    assert recorder_log.read_text("latin-1").splitlines()[0].partition('" ')[2] == \
        f'"{entries[2][2]}"'
