"""The agent against nginx as the news site, directly and through tinyproxy with Basic
credentials (tinyproxy answers missing credentials with 407 and wrong ones with 401), over
HTTP and over HTTPS (through tinyproxy's CONNECT tunnel)."""

import email.utils
import pathlib
import sys

import pytest

from conftest import (
    DATA_KEY,
    ID_TASKBAR_REFRESH,
    SETTINGS_KEY,
    data_values,
    wait_first_poll_reported,
    wait_until_idle,
)

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "servers"))
from nginx_site import NginxSite  # noqa: E402
from proxy import TinyProxy  # noqa: E402

FIRST_TIME = 1_800_000_000
FIRST_ENTRIES = [("2026-12-07", "Opening day", "http://www.zavora.example/news/1")]
SECOND_ENTRIES = [
    ("2026-12-08", "Second day & night", "http://www.zavora.example/news/2"),
    ("2026-12-08", "Late edition", "http://www.zavora.example/news/3"),
]
STORED = data_values("edition-0", "Thu, 01 Jan 2026 00:00:00 GMT",
                     [("2026-01-01", "Old", "http://www.zavora.example/old")])


def news_text(epoch, entries):
    return "".join([f"{epoch}\n"] + [f"{date} {title}\n{url}\n" for date, title, url in entries])


def http_date(seconds):
    return email.utils.formatdate(seconds, usegmt=True)


@pytest.fixture
def site(certificates):
    with NginxSite(news=news_text("edition-1", FIRST_ENTRIES), certificates=certificates) as nginx:
        yield nginx


FETCHED = data_values("edition-1", http_date(FIRST_TIME), FIRST_ENTRIES)
PROXY_CASES = {
    "right credentials": ("http", {"useProxyAuth": 1, "authPassword": "s3cret"}, FETCHED, "1"),
    "wrong password": ("http", {"useProxyAuth": 1, "authPassword": "wrong"}, STORED, "0"),
    "no credentials": ("http", {"useProxyAuth": 0, "authPassword": "s3cret"}, STORED, "0"),
    "HTTPS without the proxy": ("https", {"useProxy": 0}, FETCHED, "1"),
    "HTTPS right credentials": (
        "https", {"useProxyAuth": 1, "authPassword": "s3cret"}, FETCHED, "1"),
    "HTTPS wrong password": ("https", {"useProxyAuth": 1, "authPassword": "wrong"}, STORED, "0"),
    "HTTPS no credentials": ("https", {"useProxyAuth": 0, "authPassword": "s3cret"}, STORED, "0"),
}


@pytest.mark.parametrize("scheme, credentials, data, flag", PROXY_CASES.values(),
                         ids=PROXY_CASES.keys())
def test_poll_through_proxy_with_credentials(scheme, credentials, data, flag, agent, registry,
                                              site, drive):
    https = {"urlScheme": "HTTPS", "urlHost": "localhost", "urlPort": site.tls_port}
    with TinyProxy(user="agent", password="s3cret") as proxy:
        registry.write(DATA_KEY, STORED)
        registry.write(SETTINGS_KEY, {
            "urlPort": site.port, "urlPath": "/.newsupdate", "useProxy": 1,
            "proxyHost": " 127.0.0.1 ", "proxyPort": proxy.port, "authUsername": "agent",
            "newEntriesFlag": "1", **(https if scheme == "https" else {}), **credentials,
        })
        agent.start()
        wait_first_poll_reported(agent, drive)
        assert agent.exit() == 0
    assert registry.query(DATA_KEY) == {name: str(value) for name, value in data.items()}
    settings = registry.query(SETTINGS_KEY)
    assert settings["newEntriesFlag"] == flag
    # The proxy host is trimmed before it is used, and the trimmed text is what is saved.
    used = credentials.get("useProxy", 1)
    assert settings["proxyHost"] == ("127.0.0.1" if used else " 127.0.0.1 ")


def test_refresh_fetches_the_next_edition(agent, registry, site, drive):
    registry.write(SETTINGS_KEY, {"urlPort": site.port, "urlPath": "/.newsupdate"})
    agent.start()
    wait_first_poll_reported(agent, drive)
    assert registry.query(DATA_KEY)["epoch"] == "edition-1"

    site.set_news(news_text("edition-2", SECOND_ENTRIES), mtime=FIRST_TIME + 3600)
    drive.command(ID_TASKBAR_REFRESH)
    values = registry.wait_value(DATA_KEY, "epoch", "edition-2", 10)
    assert values == {name: str(value) for name, value in
                      data_values("edition-2", http_date(FIRST_TIME + 3600),
                                  SECOND_ENTRIES).items()}
    wait_until_idle(drive)
    assert agent.exit() == 0
