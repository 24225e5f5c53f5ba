"""Server and proxy misbehaviours, each met by a poll of the real agent.

Every row starts the agent on a stored news list with newEntriesFlag 1; its first poll (the
poll timer's, one second after start) meets the misbehaviour. Then, for every row:
- the agent stays responsive: it answers within a second and opens its tray menu at once;
- the outcome shows from outside: the requests the server saw, the news list and markers
  in the registry while the agent runs, and the tray state, which the flag saved at exit
  reveals (a failed poll clears the new-articles state, any other outcome keeps it);
- a failed poll is retried after one minute, any other comes back after the interval;
- a following good poll (Refresh, answered well) stores its Last-Modified value.

Stalls end after 30 s (a silent peer) or 60 s (a trickling one); the update checker's own
tests prove those limits with real timing. Here one run proves that Exit ends the agent
within the limit while the worst stall (the trickle) runs; the stall rows check the agent
while its worker is stuck, then end the stall by flooding the connection beyond the 1 MiB
cap, which fails the read as the time limit does.
"""

import select
import subprocess
import threading
import time
from dataclasses import dataclass, field

import pytest

from agent_contract import ID_TASKBAR_EXIT, ID_TASKBAR_REFRESH, MOST_STORED_ENTRIES
from conftest import DATA_KEY, SETTINGS_KEY, data_values, wait_until_idle
from faults_harness import (
    MIB,
    PortRelay,
    fault_server,  # noqa: F401 (fixture)
    faults_agent,  # noqa: F401 (fixture)
    news_reply,
    read_key,
    refused_port,
    relay_to,
    texts,
    write_keys,
)
from proxy import TinyProxy

OLD_MODIFIED = "Sun, 06 Dec 2026 08:00:00 GMT"
SERVER_MODIFIED = "Mon, 07 Dec 2026 05:00:00 GMT"  # the fault server's Last-Modified
FOLLOW_MODIFIED = "Tue, 08 Dec 2026 06:00:00 GMT"
STORED = [("2026-12-05", "An older story", "http://127.0.0.1/old/1.html")]
SEED = {k: str(v) for k, v in data_values("edition-1", OLD_MODIFIED, STORED).items()}
SERVER_ENTRIES = [
    ("2026-12-07", "First title", "http://news.example/1"),
    ("2026-12-06", "Second title with words", "http://news.example/2"),
]
PROXY_USER, PROXY_PASSWORD = "agent", "s3cret"


def news(epoch, last_modified, entries):
    """The Data values after a new list: entries of a longer earlier list stay behind."""
    return {**SEED, **{k: str(v) for k, v in data_values(epoch, last_modified, entries).items()}}


@dataclass
class Row:
    fault: object  # the server's behaviour: a fault name, reply bytes or a function
    methods: list  # the requests the server sees
    data: dict  # the Data key after the poll
    failed: bool  # the poll ends as an error
    settings: dict = field(default_factory=dict)
    # "server", "refused", "unknown host", "unknown scheme", "proxy", or "tls <kind>": the
    # server's TLS listener of that kind, polled as https://localhost
    endpoint: str = "server"
    stall: bool = False  # the worker stays stuck until the server releases it
    proxy_status: int = 0  # the status the real proxy answers with (0: no real proxy)
    again: bool = True  # a following poll can succeed (the endpoint is read at start-up)


HEAD, HEAD_GET = ["HEAD"], ["HEAD", "GET"]
# Nothing new after a successful GET and parse: only the Last-Modified value is stored.
def only_modified(value):
    return {**SEED, "lastModified": value}


def feed_reply(body):
    """A feed, answered as a news list is."""
    head = f"HTTP/1.0 200 OK\nLast-Modified: {SERVER_MODIFIED}\n\n".encode()

    def play(conn, request, server):
        conn.sendall(head if request.method == "HEAD" else head + body)

    return play


# Relative links resolve against xml:base; the guid is the epoch, else the address.
RSS = ('<?xml version="1.0"?>\n<rss version="2.0"><channel xml:base="http://news.example/">\n'
       "<item><title>First title</title><link>/1</link><guid>urn:1</guid></item>\n"
       "<item><title>Second title</title><link>2</link></item>\n</channel></rss>\n")
FEED = news("urn:1", SERVER_MODIFIED, [("", "First title", "http://news.example/1"),
                                       ("", "Second title", "http://news.example/2")])
LAUGHS = ('<?xml version="1.0"?>\n<!DOCTYPE rss [<!ENTITY a "aaaaaaaaaa">'
          + "".join(f'<!ENTITY {chr(98 + i)} "' + f"&{chr(97 + i)};" * 10 + '">' for i in range(9))
          + ']>\n<rss><channel><item><title>&j;</title></item></channel></rss>\n')
PROXY = {"useProxy": 1, "proxyHost": " 127.0.0.1 "}
TUNNEL = {**PROXY, "urlScheme": "https", "urlHost": "localhost", "urlPort": 443}
ROWS = {
    "refused connection": Row("ok", [], SEED, True, endpoint="refused"),
    "unknown host": Row("ok", [], SEED, True, endpoint="unknown host", again=False),
    "unknown scheme": Row("ok", [], SEED, True, endpoint="unknown scheme", again=False),
    "accepts and never answers": Row("never-answer", HEAD, SEED, True, stall=True),
    "stalls inside the status line": Row("stall-status", HEAD, SEED, True, stall=True),
    "stalls inside the headers": Row("stall-headers", HEAD, SEED, True, stall=True),
    # The new Last-Modified value is kept back until the GET and the parse have succeeded.
    "stalls in the body": Row("stall-body", HEAD_GET, SEED, True, stall=True),
    "endless body": Row("endless", HEAD_GET, SEED, True),
    "closes with zero bytes": Row("close-at-once", HEAD, SEED, True),
    "closes in the middle of the headers": Row(
        "close-mid-headers", HEAD_GET, only_modified("Mon, 07"), False),
    "no blank line": Row("no-blank-line", HEAD_GET, only_modified(SERVER_MODIFIED), False),
    # HEAD skips empty lines, the GET's status check does not.
    "empty first line": Row("empty-first-line", HEAD_GET, SEED, True),
    "status 304": Row("status-304", HEAD, SEED, True),
    "status 204 HTTP/1.0": Row("status-204-10", HEAD_GET, only_modified("LM-204"), False),
    "status 204 HTTP/1.1": Row("status-204-11", HEAD_GET, only_modified("LM-204"), False),
    "status 500": Row("status-500", HEAD, SEED, True),
    "status line HTTPr": Row("httpr", HEAD, SEED, True),
    "100-digit status": Row("status-100-digits", HEAD_GET, only_modified("LM-100"), False),
    "header of 100 KB": Row(
        "big-header", HEAD_GET, news("edition-7", SERVER_MODIFIED, SERVER_ENTRIES), False),
    "5,000 headers": Row(
        "many-headers", HEAD_GET, news("edition-7", SERVER_MODIFIED, SERVER_ENTRIES), False),
    # The HEAD response ends at the NUL, before its Last-Modified line; so does the GET's.
    "NUL in the headers": Row("nul-header", HEAD_GET, only_modified(""), False),
    # The body ends at the NUL: a new epoch whose first entry has lost its URL.
    "NUL in the body": Row("nul-body", HEAD_GET, news("edition-nul", SERVER_MODIFIED, []), False),
    "Last-Modified missing": Row(
        "lm-missing", HEAD_GET, news("edition-7", "", SERVER_ENTRIES), False),
    "Last-Modified empty": Row("lm-empty", HEAD_GET, news("edition-7", "", SERVER_ENTRIES), False),
    "Last-Modified repeated": Row("lm-repeated", HEAD_GET, only_modified("second"), False),
    "Last-Modified in odd case with blanks and CR": Row(
        "lm-odd", HEAD_GET, only_modified("odd value"), False),
    "body over 1 MiB": Row("body-over-1mib", HEAD_GET, SEED, True),
    "body of exactly 1 MiB": Row(
        "body-1mib", HEAD_GET, news("edition-big", SERVER_MODIFIED, []), False),
    # The carriage returns belong to the line ends: titles and URLs are stored without them.
    "CRLF document": Row("crlf", HEAD_GET, news(
        "edition-crlf", SERVER_MODIFIED, [("2026-12-07", "Title", "http://n/1")]), False),
    # A body that falls short of its Content-Length keeps the stored list.
    "body shorter than its Content-Length": Row("short-body", HEAD_GET, SEED, True),
    "body of only tabs and line feeds": Row(
        "tabs-only", HEAD_GET, only_modified(SERVER_MODIFIED), False),
    # Feeds: read through Windows' XML reader; one that cannot be read fails the poll (the
    # update tests have a row for each way a feed fails).
    "RSS feed in UTF-16": Row(
        feed_reply(RSS.replace('"1.0"?>', '"1.0" encoding="UTF-16"?>').encode("utf-16")),
        HEAD_GET, FEED, False),
    "feed with entities that expand a billion times": Row(
        feed_reply(LAUGHS.encode()), HEAD_GET, SEED, True),
    "proxy 407 without credentials": Row(
        None, HEAD, SEED, True, settings={**PROXY, "useProxyAuth": 0}, endpoint="proxy",
        proxy_status=407),
    "proxy 401 with a wrong password": Row(
        None, HEAD, SEED, True, endpoint="proxy", proxy_status=401,
        settings={**PROXY, "useProxyAuth": 1, "authUsername": PROXY_USER,
                  "authPassword": "wrong"}),
    "proxy closes at once": Row(
        "close-at-once", HEAD, SEED, True, settings=PROXY, endpoint="proxy"),
    "proxy stalls": Row("never-answer", HEAD, SEED, True, settings=PROXY, endpoint="proxy",
                        stall=True),
    "HTTPS": Row("ok", HEAD_GET, news("edition-7", SERVER_MODIFIED, SERVER_ENTRIES), False,
                 endpoint="tls good"),
    "HTTPS body over 1 MiB": Row("body-over-1mib", HEAD_GET, SEED, True, endpoint="tls good"),
    "HTTPS stalls in the body": Row("stall-body", HEAD_GET, SEED, True, endpoint="tls good",
                                    stall=True),
    # Certificates and protocols that are refused before any request is sent.
    "HTTPS certificate for another name": Row(
        "ok", [], SEED, True, endpoint="tls other-name", again=False),
    "HTTPS expired certificate": Row("ok", [], SEED, True, endpoint="tls expired", again=False),
    "HTTPS self-signed certificate": Row(
        "ok", [], SEED, True, endpoint="tls self-signed", again=False),
    "HTTPS certificate from an untrusted CA": Row(
        "ok", [], SEED, True, endpoint="tls untrusted-ca", again=False),
    "HTTPS server of TLS 1.0 only": Row("ok", [], SEED, True, endpoint="tls tls1.0", again=False),
    "HTTPS stalls in the handshake": Row(
        None, [], SEED, True, endpoint="tls stall-handshake", stall=True, again=False),
    "HTTPS reply cut inside a record": Row(
        None, HEAD, SEED, True, endpoint="tls cut-record", again=False),
    # The fault server opens no tunnel, so no following poll over HTTPS can get through it.
    "proxy 407 to CONNECT without credentials": Row(
        None, ["CONNECT"], SEED, True, settings={**TUNNEL, "useProxyAuth": 0}, endpoint="proxy",
        proxy_status=407, again=False),
    "proxy 401 to CONNECT with a wrong password": Row(
        None, ["CONNECT"], SEED, True, endpoint="proxy", proxy_status=401, again=False,
        settings={**TUNNEL, "useProxyAuth": 1, "authUsername": PROXY_USER,
                  "authPassword": "wrong"}),
}


@pytest.fixture(scope="module")
def tinyproxy():
    with TinyProxy(user=PROXY_USER, password=PROXY_PASSWORD) as proxy:
        yield proxy


def data_now():
    return texts(read_key(DATA_KEY))


def assert_responsive(drive):
    assert drive.alive(), "the agent did not answer within a second"
    items = drive.look_menu("right", 5000)
    assert items is not None, "the tray menu did not open within 5 s"
    return [int(item["id"]) for item in items]


def check_while_stalled(row, server, drive):
    """The worker is stuck: the agent still answers, refuses Refresh and keeps its data."""
    assert ID_TASKBAR_REFRESH not in assert_responsive(drive), "no poll seems to be running"
    drive.command(ID_TASKBAR_REFRESH)
    # Refresh must start nothing: a second poll would reach the server well within a second.
    time.sleep(1)
    assert server.methods() == row.methods, "Refresh started a second poll"
    assert data_now() == SEED
    server.release()


@pytest.mark.parametrize("row", ROWS.values(), ids=ROWS.keys())
def test_fault_row(row, request, fault_server, faults_agent, drive):
    server = fault_server
    settings = {"urlHost": "127.0.0.1", "urlPort": server.port, "urlPath": "/news.txt",
                "alertBySystemSound": 0, "alertByMessage": 0, "newEntriesFlag": 1,
                **row.settings}
    relay = None
    if row.endpoint == "refused":
        settings["urlPort"] = refused_port()
    elif row.endpoint == "unknown host":
        settings["urlHost"] = "no-such-host.invalid"
    elif row.endpoint == "unknown scheme":
        settings["urlScheme"] = "gopher"
    elif row.endpoint.startswith("tls "):
        settings.update(urlScheme="https", urlHost="localhost",
                        urlPort=server.tls_ports[row.endpoint[4:]])
    elif row.endpoint == "proxy":
        settings["proxyPort"] = server.port
    proxy_replies = []
    if row.proxy_status:
        server.behaviour = relay_to(request.getfixturevalue("tinyproxy").port, proxy_replies)
    else:
        server.behaviour = row.fault
    write_keys({SETTINGS_KEY: settings, DATA_KEY: SEED})

    faults_agent.start()
    if row.methods:
        assert server.wait_requests(1, 10), "the first poll did not reach the server"
    if row.stall:
        assert server.holding.wait(10), "the stall did not begin"
        check_while_stalled(row, server, drive)
    wait_until_idle(drive)
    assert server.methods() == row.methods
    if row.proxy_status:
        assert proxy_replies[0].startswith(f"HTTP/1.0 {row.proxy_status} ".encode())
    assert drive.alive(), "the agent did not answer within a second"
    assert data_now() == row.data
    assert drive.poll_delay() == (60_000 if row.failed else 300_000)

    # A following poll, answered well, gets through: it finds the list it has (nothing new,
    # so the tray state of the row is kept) and stores the new Last-Modified value. The
    # settings are read only at start-up, so an unknown host or scheme stays unknown, and a
    # bad TLS endpoint stays bad.
    polls_again = row.again
    final = {**row.data, "lastModified": FOLLOW_MODIFIED} if polls_again else row.data
    if row.endpoint == "refused":
        relay = PortRelay(settings["urlPort"], server.port)
    seen = len(server.requests)
    server.behaviour = news_reply(row.data["epoch"], SERVER_ENTRIES, FOLLOW_MODIFIED)
    try:
        if polls_again:
            drive.command(ID_TASKBAR_REFRESH)
            assert server.wait_requests(seen + 2, 10), "the following poll did not GET"
            wait_until_idle(drive)
        code = faults_agent.exit(timeout=20)
    finally:
        if relay:
            relay.stop()
    assert code == 0
    settings_after = texts(read_key(SETTINGS_KEY))
    assert settings_after["newEntriesFlag"] == ("0" if row.failed else "1")
    if row.endpoint == "proxy":
        assert settings_after["proxyHost"] == "127.0.0.1", "the trimmed host is saved"
    assert data_now() == final


# The one run of the real agent against its real time limits: a trickling server keeps the
# worker reading until the 60 s limit of its whole request. While the poll runs, the command
# menu offers Disable but not Refresh, and Refresh starts nothing; Exit ends the agent within
# the limit, and no menu opens meanwhile. The 30 s limits (a silent peer, a stalled TLS
# handshake) are proven with real timing by the update checker's own tests.
def test_exit_ends_a_trickling_poll_within_the_total_limit(fault_server, faults_agent, drive):
    server = fault_server
    server.behaviour = "trickle"
    write_keys({SETTINGS_KEY: {"urlHost": "127.0.0.1", "urlPort": server.port,
                               "urlPath": "/news.txt", "alertBySystemSound": 0,
                               "newEntriesFlag": 1},
                DATA_KEY: SEED})
    faults_agent.start()
    assert server.wait_requests(1, 10), "the first poll did not reach the server"
    connected = time.monotonic()
    items = drive.look_menu("right", 5000)
    assert items is not None, "the tray menu did not open within 5 s"
    assert items[0]["text"] == "&Disable"
    assert ID_TASKBAR_REFRESH not in [int(item["id"]) for item in items]
    drive.command(ID_TASKBAR_REFRESH)
    # Refresh must start nothing: a second poll would reach the server well within 2 s.
    time.sleep(2)
    assert server.methods() == HEAD, "Refresh started a second poll"

    asked = time.monotonic()
    drive.command(ID_TASKBAR_EXIT)
    assert drive.look_menu("right") is None, "a menu opened while shutting down"
    assert drive.alive()
    code = faults_agent.wait_exit(75)
    ended = time.monotonic()
    assert code == 0, "the agent did not end"
    assert ended - asked <= 65
    assert 55 <= ended - connected <= 65, "the poll did not run into its limit"
    assert server.methods() == HEAD
    assert data_now() == SEED
    assert texts(read_key(SETTINGS_KEY))["newEntriesFlag"] == "0"


def held_news_reply(epoch_and_entries, last_modified, go):
    """A news list whose GET is answered only once go is set; HEAD is answered at once."""
    head = f"HTTP/1.0 200 OK\nLast-Modified: {last_modified}\n\n".encode("latin-1")

    def play(conn, request, server):
        if request.method == "GET":
            while not go.wait(0.1):
                if server.stopping.is_set():
                    return
            conn.sendall(head + epoch_and_entries)
        else:
            conn.sendall(head)

    return play


def first_line(process, timeout):
    ready, _, _ = select.select([process.stdout], [], [], timeout)
    return process.stdout.readline().strip() if ready else ""


def test_huge_list_is_stored_while_the_agent_answers(fault_server, faults_agent, drive):
    """130,000 tiny entries under the 1 MiB cap: the agent answers within a second at every
    moment of the poll, stores no more entries than it loads, and a restart loads them all."""
    body = b"edition-huge\n" + b"a b\tc\t" * 130_000
    assert len(body) < MIB
    go = threading.Event()
    fault_server.behaviour = held_news_reply(body, SERVER_MODIFIED, go)
    write_keys({SETTINGS_KEY: {"urlHost": "127.0.0.1", "urlPort": fault_server.port,
                               "urlPath": "/news.txt", "alertBySystemSound": 0,
                               "alertByMessage": 0},
                DATA_KEY: SEED})
    faults_agent.start()
    assert fault_server.wait_requests(2, 10), "the GET did not come"
    watcher = subprocess.Popen(["wine", drive.exe, "watch-poll", "90000"],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True, errors="replace")
    try:
        assert first_line(watcher, 15) == "watching", "the watcher did not see the poll"
        go.set()
        summary = watcher.communicate(timeout=120)[0].strip()
    finally:
        go.set()
        if watcher.poll() is None:
            watcher.kill()
    print(f"huge list: {summary}")
    assert watcher.returncode == 0, f"the agent did not answer within a second: {summary}"

    stored = data_now()
    assert stored["numentries"] == str(MOST_STORED_ENTRIES)
    assert f"Title_{MOST_STORED_ENTRIES}" not in stored, "more stored than a load reads"
    last = MOST_STORED_ENTRIES - 1
    assert [stored[f"{name}_{last}"] for name in ("Date", "Title", "URL")] == ["a", "b", "c"]
    assert faults_agent.exit() == 0

    # The restart loads every stored entry (its poll finds nothing new) and saves them again.
    # Before its first poll the menu offers Refresh too, so the poll's HEAD comes first.
    faults_agent.start()
    assert fault_server.wait_requests(3, 10), "the restart did not poll"
    wait_until_idle(drive)
    assert faults_agent.exit() == 0
    assert fault_server.methods() == ["HEAD", "GET", "HEAD"]
    assert data_now() == stored
