"""The real agent under Wine: start-up, polls, tray menus, Disable/Enable and exit.

Tray state is read from outside through what the user can see and use: the hidden window,
the tray menus (the Refresh item is missing while a poll runs, "&Enable" shows while
disabled, clicks do nothing while shutting down), the registry at exit and the requests
the news server received. The tooltip itself cannot be read from another process.
"""

import socket
import time

import pytest

from agent_contract import (
    HIDDEN_TITLE,
    ID_NEWS_ENTRY_FIRST,
    ID_SITE_HOME,
    ID_TASKBAR_ABOUT,
    ID_TASKBAR_CONFIGURE,
    ID_TASKBAR_DISABLE,
    ID_TASKBAR_EXIT,
    ID_TASKBAR_REFRESH,
    PRODUCT_NAME,
    VERSION,
)
from conftest import (
    DATA_KEY,
    SETTINGS_KEY,
    about_last_poll,
    ansi_bytes,
    data_values,
    ids_of,
    menu_of,
    rect_of,
    run,
    screenshot,
    wait_popup,
    wait_popup_settled,
    wait_until_idle,
)

WM_POWERBROADCAST = 0x218
PBT_APMRESUMEAUTOMATIC = 0x12
OLD_MODIFIED = "Sun, 06 Dec 2026 08:00:00 GMT"
NEW_MODIFIED = "Mon, 07 Dec 2026 05:00:00 GMT"
FRESH_ENTRIES = [
    ("2026-12-07", "Harbour bridge reopens after repairs", "http://127.0.0.1/a/1.html"),
    ("2026-12-07", "Council votes on the new budget", "http://127.0.0.1/a/2.html"),
    ("2026-12-06", "Night trains return for the winter", "http://127.0.0.1/a/3.html"),
]
STORED_ENTRIES = [("2026-12-05", "An older story", "http://127.0.0.1/old/1.html")]
SETTING_NAMES = {
    "alertBySystemSound", "alertByUserSound", "alertByMessage", "useProxy", "useProxyAuth",
    "pollingDelay", "authUsername", "authPassword", "soundPath", "urlHost", "urlPort",
    "urlPath", "proxyHost", "proxyPort",
}


def test_second_start_leaves_no_window_and_ends(agent, drive):
    agent.start()
    second = run(["wine", agent.exe], timeout=20)
    assert second.returncode == 0
    hidden = [window for window in drive.windows() if window.get("title") == HIDDEN_TITLE]
    assert len(hidden) == 1
    assert drive.alive()


def test_first_poll_sends_head_one_second_after_start(agent, server):
    server.set_news("edition-1", FRESH_ENTRIES, NEW_MODIFIED)
    agent.start()
    requests = server.wait_requests(1, 10)
    assert requests, "no request reached the server"
    head = requests[0]
    assert head.arrived - agent.launched >= 0.9
    assert 0.5 <= head.arrived - agent.window_found <= 2.5
    assert head.raw == (f"HEAD /news.txt HTTP/1.0\r\nHost: 127.0.0.1:{server.port}\r\n"
                        "User-Agent: Zavora News Agent\r\n"
                        "Accept: */*\r\nAccept: text/html\r\n\r\n").encode()


# Each row: the registry before the start, the server's behaviour, the requests expected,
# the Data key and newEntriesFlag after exit.
POLL_CASES = {
    "new articles": dict(
        seed_data=None, seed_flag=None, server_modified=NEW_MODIFIED, server_epoch="edition-2",
        behaviour={}, methods=["HEAD", "GET"],
        data=data_values("edition-2", NEW_MODIFIED, FRESH_ENTRIES), flag="1"),
    "unchanged Last-Modified": dict(
        seed_data=data_values("edition-1", NEW_MODIFIED, STORED_ENTRIES), seed_flag="1",
        server_modified=NEW_MODIFIED, server_epoch="edition-2", behaviour={},
        methods=["HEAD"], data=data_values("edition-1", NEW_MODIFIED, STORED_ENTRIES),
        flag="1"),
    "same epoch, new Last-Modified": dict(
        seed_data=data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES), seed_flag="0",
        server_modified=NEW_MODIFIED, server_epoch="edition-1", behaviour={},
        methods=["HEAD", "GET"], data=data_values("edition-1", NEW_MODIFIED, STORED_ENTRIES),
        flag="0"),
    "HEAD answered with 500": dict(
        seed_data=data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES), seed_flag="1",
        server_modified=NEW_MODIFIED, server_epoch="edition-2", behaviour={"HEAD": "error"},
        methods=["HEAD"], data=data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES),
        flag="0"),
    # A failed GET must not store the new Last-Modified, or the update would stay hidden
    # until the server changes again.
    "GET answered with 500": dict(
        seed_data=data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES), seed_flag="1",
        server_modified=NEW_MODIFIED, server_epoch="edition-2", behaviour={"GET": "error"},
        methods=["HEAD", "GET"], data=data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES),
        flag="0"),
    "GET connection closed without a byte": dict(
        seed_data=data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES), seed_flag="0",
        server_modified=NEW_MODIFIED, server_epoch="edition-2", behaviour={"GET": "close"},
        methods=["HEAD", "GET"], data=data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES),
        flag="0"),
}


@pytest.mark.parametrize("case", POLL_CASES.values(), ids=POLL_CASES.keys())
def test_poll_outcome_is_stored_and_flag_saved_at_exit(case, agent, server, registry, drive):
    if case["seed_data"]:
        registry.write(DATA_KEY, case["seed_data"])
    if case["seed_flag"]:
        registry.write(SETTINGS_KEY, {"newEntriesFlag": case["seed_flag"]})
    server.set_news(case["server_epoch"], FRESH_ENTRIES, case["server_modified"])
    server.behaviour.update(case["behaviour"])

    agent.start()
    server.wait_requests(len(case["methods"]), 10)
    items = wait_until_idle(drive)
    if case["flag"] == "1":
        menu_of(drive, "right", shot="command-menu")
    assert ids_of(items)[0] == ID_TASKBAR_DISABLE
    assert items[0]["text"] == "&Disable"
    assert server.methods() == case["methods"]

    assert agent.exit() == 0
    assert registry.query(DATA_KEY) == {k: str(v) for k, v in case["data"].items()}
    settings = registry.query(SETTINGS_KEY)
    assert settings["newEntriesFlag"] == case["flag"]
    assert SETTING_NAMES <= settings.keys()


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def test_refused_connection_clears_new_articles(agent, server, registry, drive):
    registry.write(DATA_KEY, data_values("edition-1", OLD_MODIFIED, STORED_ENTRIES))
    registry.write(SETTINGS_KEY, {"newEntriesFlag": "1", "urlPort": closed_port()})
    agent.start()
    wait_until_idle(drive)
    assert agent.exit() == 0
    assert registry.query(DATA_KEY)["lastModified"] == OLD_MODIFIED
    assert registry.query(SETTINGS_KEY)["newEntriesFlag"] == "0"


# The retry schedule is read from the armed timer, so the test need not wait minutes; the
# poll after waking is awaited for real.
def test_failures_are_retried_sooner_and_waking_polls_after_settling(agent, server, drive):
    server.set_news("edition-2", FRESH_ENTRIES, NEW_MODIFIED)
    server.behaviour["HEAD"] = "error"
    agent.start()
    wait_until_idle(drive)
    assert drive.poll_delay() == 60_000
    assert about_last_poll(drive, shot="about-failed").endswith(
        ", failed:  the site answered 500 Internal Server Error")

    drive.command(ID_TASKBAR_REFRESH)
    assert len(server.wait_requests(2, 10)) == 2
    wait_until_idle(drive)
    assert drive.poll_delay() == 120_000

    server.behaviour["HEAD"] = "ok"
    drive.command(ID_TASKBAR_REFRESH)
    assert len(server.wait_requests(4, 10)) == 4
    wait_until_idle(drive)
    assert drive.poll_delay() == 300_000, "a poll that succeeds returns to the interval"
    assert about_last_poll(drive).endswith(", new articles")

    drive.post(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC)
    woken = time.monotonic()
    assert drive.poll_delay() == 15_000
    requests = server.wait_requests(5, 30)
    assert len(requests) == 5, "no poll followed the wake-up"
    assert 14 <= requests[4].arrived - woken <= 18
    wait_until_idle(drive)
    assert drive.poll_delay() == 300_000


# The schedule is read from the armed timer, as in the retry test, whose poll after waking
# shows that the armed delay is the one the timer keeps.
def test_disable_then_enable_polls_after_a_full_interval(agent, server, registry, drive):
    registry.write(SETTINGS_KEY, {"pollingDelay": 2})
    server.set_news("edition-2", FRESH_ENTRIES, NEW_MODIFIED)
    agent.start()
    server.wait_requests(2, 10)
    wait_until_idle(drive)
    assert drive.poll_delay() == 120_000

    drive.command(ID_TASKBAR_DISABLE)
    items = menu_of(drive, "right")
    assert items[0]["text"] == "&Enable"
    assert ID_TASKBAR_REFRESH not in ids_of(items)
    assert drive.poll_delay() == 0, "a poll timer runs while disabled"
    drive.command(ID_TASKBAR_REFRESH)
    # Refresh must start nothing while disabled: a poll would reach the server within 2 s.
    time.sleep(2)
    assert server.methods() == ["HEAD", "GET"]
    assert drive.poll_delay() == 0

    drive.command(ID_TASKBAR_DISABLE)
    items = menu_of(drive, "right")
    assert items[0]["text"] == "&Disable"
    assert ID_TASKBAR_REFRESH in ids_of(items)
    assert drive.poll_delay() == 120_000, "Enable must arm a full interval"


# A poll that finds new articles while the user has disabled polling or asked to exit:
# no alert; Disable still flags the articles as unseen, Exit keeps the flag it had.
@pytest.mark.parametrize("command, flag", [(ID_TASKBAR_DISABLE, "1"), (ID_TASKBAR_EXIT, "0")],
                         ids=["Disable", "Exit"])
def test_command_during_a_poll_that_finds_new_articles(command, flag, agent, server, registry,
                                                        drive):
    registry.write(SETTINGS_KEY, {"newEntriesFlag": "0"})
    server.set_news("edition-2", FRESH_ENTRIES, NEW_MODIFIED)
    server.behaviour["GET"] = "slow"
    agent.start()
    assert len(server.wait_requests(2, 10)) == 2, "the GET did not come"
    drive.command(command)
    if command == ID_TASKBAR_DISABLE:
        # The report stores the new list; only then is the outcome visible.
        stored = registry.wait_value(DATA_KEY, "epoch", "edition-2", server.slow_seconds + 10)
        assert stored.get("epoch") == "edition-2", "the poll did not report"
        assert wait_popup(drive, 2) is None
        assert menu_of(drive, "right")[0]["text"] == "&Enable"
        assert agent.exit() == 0
    else:
        assert agent.wait_exit(server.slow_seconds + 10) == 0
    assert registry.query(DATA_KEY)["epoch"] == "edition-2"
    assert registry.query(SETTINGS_KEY)["newEntriesFlag"] == flag


def test_looking_at_the_entries_ends_the_new_articles_state(agent, server, registry, drive):
    registry.write(DATA_KEY, data_values("edition-1", NEW_MODIFIED, STORED_ENTRIES))
    registry.write(SETTINGS_KEY, {"newEntriesFlag": "1"})
    server.set_news("edition-1", STORED_ENTRIES, NEW_MODIFIED)
    agent.start()
    wait_until_idle(drive)
    assert menu_of(drive, "left") is not None
    assert agent.exit() == 0
    assert registry.query(SETTINGS_KEY)["newEntriesFlag"] == "0"


def long_title(length):
    return ("Regional news " * 5)[:length]


ENTRIES_MENU_CASES = {
    "empty cache": ([], []),
    "titles shortened and ampersands doubled": (
        [
            ("2026-12-07", "Tom & Jerry", "http://127.0.0.1/1"),
            ("2026-12-07", long_title(35), "http://127.0.0.1/2"),
            ("2026-12-07", long_title(36), "http://127.0.0.1/3"),
            ("2026-12-06", "&lead && twice&", "http://127.0.0.1/4"),
        ],
        [
            "2026-12-07 Tom && Jerry",
            "2026-12-07 " + long_title(35),
            "2026-12-07 " + long_title(32) + "...",
            "2026-12-06 lead && twice",
        ],
    ),
    "only the first ten of twelve": (
        [("2026-12-%02d" % (index + 1), f"Story {index}", f"http://127.0.0.1/{index}")
         for index in range(12)],
        ["2026-12-%02d Story %d" % (index + 1, index) for index in range(10)],
    ),
}


@pytest.mark.parametrize("entries, texts", ENTRIES_MENU_CASES.values(),
                         ids=ENTRIES_MENU_CASES.keys())
def test_left_click_lists_stored_entries(entries, texts, agent, server, registry, drive):
    registry.write(DATA_KEY, data_values("edition-1", NEW_MODIFIED, entries))
    server.set_news("edition-1", entries, NEW_MODIFIED)
    agent.start()
    wait_until_idle(drive)
    items = menu_of(drive, "left", shot="entries-menu")
    assert [item["text"] for item in items[:-1]] == texts
    assert ids_of(items) == [ID_NEWS_ENTRY_FIRST + i for i in range(len(texts))] + [ID_SITE_HOME]
    assert items[-1]["default"] == "1"


def test_escape_after_a_tray_menu_leaves_the_agent_running(agent, server, drive):
    """After a tray menu the hidden window is in front: a second Escape reaches it."""
    server.set_news("edition-2", FRESH_ENTRIES, NEW_MODIFIED)
    agent.start()
    wait_until_idle(drive)
    for button in ("right", "left"):
        assert menu_of(drive, button) is not None  # the first Escape closes the menu
        assert drive("escape")[0] == 0
    # Nothing may happen; an exit asked for by the key would be over well within 2 s.
    assert agent.wait_exit(2) is None, "Escape ended the agent"
    assert drive.alive()
    assert agent.exit() == 0


# Each row: the title as the site sends it, and what the entries menu shows. The agent runs
# under a Western code page; the site writes UTF-8, except for one older title.
INTERNATIONAL_TITLES = [
    ("Straßenbahn fährt wieder".encode(), "Straßenbahn fährt wieder"),
    ("Ελλάδα: νέα γέφυρα".encode(), "Ελλάδα: νέα γέφυρα"),
    ("東京の天気は晴れ".encode(), "東京の天気は晴れ"),
    ("Zeitung 📰 & Kaffee ☕".encode(), "Zeitung 📰 && Kaffee ☕"),
    ("Café in Windows-1252".encode("cp1252"), "Café in Windows-1252"),
    # Shortened by characters: 40 Japanese characters (120 bytes) show as 32 and "...",
    # and emoji (two UTF-16 units each) are never cut in half.
    (("日本" * 20).encode(), "日本" * 16 + "..."),
    (("x" * 31 + "📰" * 5).encode(), "x" * 31 + "📰..."),
]


def test_international_titles_show_in_the_entries_menu_and_are_stored_as_sent(
        agent, server, registry, drive):
    entries = [("07.12.", title, f"http://127.0.0.1/caf%C3%A9/{index}")
               for index, (title, _) in enumerate(INTERNATIONAL_TITLES)]
    server.set_news("edition-intl", entries, NEW_MODIFIED)
    agent.start()
    server.wait_requests(2, 10)
    wait_until_idle(drive)
    items = menu_of(drive, "left", shot="entries-menu-international")
    assert [item["text"] for item in items[:-1]] == [
        "07.12. " + shown for _, shown in INTERNATIONAL_TITLES]
    assert agent.exit() == 0
    stored = registry.texts(DATA_KEY)
    for index, (title, _) in enumerate(INTERNATIONAL_TITLES):
        assert ansi_bytes(stored[f"Title_{index}"]) == title, index
        assert stored[f"URL_{index}"] == f"http://127.0.0.1/caf%C3%A9/{index}"


def test_hidden_window_stays_hidden(agent, server, drive):
    server.set_news("edition-2", FRESH_ENTRIES, NEW_MODIFIED)
    agent.start()
    wait_until_idle(drive)
    hidden = [window for window in drive.windows() if window.get("title") == HIDDEN_TITLE]
    assert [window["visible"] for window in hidden] == ["0"]


# Each row: alerting by message, the screen's DPI, the popup's size fully out (None: no
# popup), the screenshot's name.
POPUP_CASES = {
    "96 dpi": ("1", 96, (150, 120), "popup"),
    "no popup": ("0", 96, None, None),
    "144 dpi": ("1", 144, (225, 180), None),
    "192 dpi": ("1", 192, (300, 240), "popup-200"),
}


@pytest.mark.parametrize("alert_by_message, dpi, size, shot", POPUP_CASES.values(),
                         ids=POPUP_CASES.keys())
def test_new_articles_slide_out_the_popup_above_the_taskbar(
        alert_by_message, dpi, size, shot, agent, server, registry, drive, screen_dpi):
    screen_dpi(dpi)
    registry.write(SETTINGS_KEY, {"alertByMessage": alert_by_message})
    server.set_news("edition-2", FRESH_ENTRIES, NEW_MODIFIED)
    agent.start()
    server.wait_requests(2, 10)
    if size is None:
        drive.wait_report(20)
        # The report has run; a popup would show within a moment of it.
        assert wait_popup(drive, 2) is None
        return
    # The slide takes about 0.4 s at any DPI; the hold lasts 10 s.
    popup = wait_popup_settled(drive, 8)
    assert popup is not None, "no popup after new articles"
    if shot:
        screenshot(shot)
    taskbar = [window for window in drive.windows() if window["class"] == "Shell_TrayWnd"][0]
    left, top, right, bottom = rect_of(popup)
    assert (right - left, bottom - top) == size
    assert bottom <= rect_of(taskbar)[1]
    assert right > 1024 - 40


def test_a_huge_stored_entry_count_neither_stalls_nor_crashes_start_up(
        agent, server, registry, drive):
    stored = data_values("edition-1", NEW_MODIFIED, STORED_ENTRIES)
    registry.write(DATA_KEY, {**stored, "numentries": "2147483647"})
    server.set_news("edition-1", STORED_ENTRIES, NEW_MODIFIED)
    agent.start()
    assert drive.alive()
    wait_until_idle(drive)
    items = menu_of(drive, "left")
    assert items[0]["text"] == "2026-12-05 An older story"
    assert ids_of(items) == [ID_NEWS_ENTRY_FIRST + i for i in range(10)] + [ID_SITE_HOME]
    assert agent.exit() == 0


# Each row: the command, a title the window holds, a child that must show, the button that
# closes it (IDOK 1, IDCANCEL 2).
DIALOG_CASES = {
    "About": (ID_TASKBAR_ABOUT, f"About {PRODUCT_NAME}", f"{PRODUCT_NAME} v{VERSION}", 1),
    "Configure": (ID_TASKBAR_CONFIGURE, f"Configure {PRODUCT_NAME}", "HTTP proxy server", 2),
}


@pytest.mark.parametrize("command, title, child_text, button", DIALOG_CASES.values(),
                         ids=DIALOG_CASES.keys())
def test_dialog_commands_open_and_close(command, title, child_text, button, agent, drive):
    agent.start()
    drive.command(command)
    code, lines = drive("children", title, 5000)
    assert code == 0, f"no window titled {title!r}"
    screenshot(title.split()[0].lower())
    texts = [fields.get("text", "") for word, fields in lines if word == "child"]
    assert any(child_text in text for text in texts), texts
    assert drive("press", title, button, 2000)[0] == 0
    assert drive("wait-no-title", title, 5000)[0] == 0
    assert drive.alive()
    assert agent.exit() == 0
