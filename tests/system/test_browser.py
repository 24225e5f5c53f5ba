"""Opening entries from the tray menu: the registered browser's command line, Internet
Explorer automation, and addresses from the news list that try to attack the command line.

The prefix's ".html" handler is the URL recorder (it logs its command line), or, for the
automation path, "InternetExplorer.Application" is the fake COM server (it logs its calls).
"""

import time

import pytest

from agent_contract import ID_NEWS_ENTRY_FIRST, ID_SITE_HOME
from conftest import (
    DATA_KEY,
    data_values,
    rect_of,
    register_browser,
    run,
    wait_until_idle,
    wait_popup_settled,
    windows_path,
)

NEW_MODIFIED = "Mon, 07 Dec 2026 05:00:00 GMT"
HOME_PAGE = "http://www.zavora.example/"
ENTRIES = [
    ("2026-12-07", "First story", "http://127.0.0.1/news/1.html"),
    ("2026-12-07", "Second story", "https://127.0.0.1/news/2.html?a=1&b=2"),
]


class Logs:
    def __init__(self, directory):
        self.recorder = directory / "recorder.log"
        self.fake_ie = directory / "fake-ie.log"

    @staticmethod
    def lines(path):
        return path.read_text("latin-1").splitlines() if path.exists() else []

    @staticmethod
    def wait_lines(path, count, timeout=10):
        deadline = time.monotonic() + timeout
        while len(Logs.lines(path)) < count and time.monotonic() < deadline:
            time.sleep(0.1)
        return Logs.lines(path)


@pytest.fixture
def logs(tmp_path, agent):
    result = Logs(tmp_path)
    agent.env["ZV_RECORDER_LOG"] = windows_path(result.recorder)
    agent.env["ZV_FAKE_IE_LOG"] = windows_path(result.fake_ie)
    return result


@pytest.fixture
def fake_ie():
    register_browser("ie")
    yield
    register_browser("recorder")


def start_with_entries(agent, server, registry, drive, entries):
    registry.write(DATA_KEY, data_values("edition-1", NEW_MODIFIED, entries))
    server.set_news("edition-1", entries, NEW_MODIFIED)
    agent.start()
    wait_until_idle(drive)


def choose_from_entries_menu(drive, item_id):
    drive.tray("left")
    drive.choose(item_id)


def recorded_address(line):
    """The recorder's command line is its quoted path, a blank and the quoted address."""
    program, _, argument = line.partition('" ')
    assert program.startswith('"') and program.endswith("zv-url-recorder.exe")
    return argument


def test_entries_and_home_page_open_in_the_registered_browser(
        agent, server, registry, drive, logs):
    start_with_entries(agent, server, registry, drive, ENTRIES)
    choose_from_entries_menu(drive, ID_NEWS_ENTRY_FIRST + 1)
    choose_from_entries_menu(drive, ID_SITE_HOME)
    lines = Logs.wait_lines(logs.recorder, 2)
    assert [recorded_address(line) for line in lines] == [
        f'"{ENTRIES[1][2]}"',
        f'"{HOME_PAGE}"',
    ]
    assert drive.alive()


def test_a_click_on_the_popup_opens_the_home_page(agent, server, drive, logs):
    server.set_news("edition-2", ENTRIES, NEW_MODIFIED)
    agent.start()
    popup = wait_popup_settled(drive, 8)
    assert popup is not None, "no popup after new articles"
    left, top, right, bottom = rect_of(popup)
    run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2),
         "click", "1"])
    lines = Logs.wait_lines(logs.recorder, 1)
    assert [recorded_address(line) for line in lines] == [f'"{HOME_PAGE}"']


def test_entries_open_through_automation_reusing_one_browser(
        agent, server, registry, drive, logs, fake_ie):
    start_with_entries(agent, server, registry, drive, ENTRIES)
    choose_from_entries_menu(drive, ID_NEWS_ENTRY_FIRST)
    assert Logs.wait_lines(logs.fake_ie, 3), "the automation server was not used"
    choose_from_entries_menu(drive, ID_NEWS_ENTRY_FIRST + 1)
    deadline = time.monotonic() + 10
    while f"Navigate {ENTRIES[1][2]}" not in Logs.lines(logs.fake_ie):
        assert time.monotonic() < deadline, Logs.lines(logs.fake_ie)
        time.sleep(0.1)
    calls = Logs.lines(logs.fake_ie)
    assert calls.count("create") == 1
    assert [call for call in calls if call.startswith("Navigate")] == [
        f"Navigate {ENTRIES[0][2]}",
        f"Navigate {ENTRIES[1][2]}",
    ]
    assert any(call.startswith("put_Visible") for call in calls)
    assert "get_HWND ok" in calls
    assert not Logs.lines(logs.recorder)
    assert drive.alive()


# An address from the server reaches the browser as one argument: quotes and blanks cannot
# add options and "%...%" is not expanded (it would send local values back to the server).
# Addresses that are not web addresses are refused with an error box.
HOSTILE_CASES = {
    "quote and blank add an option": (
        'http://127.0.0.1/a" --gpu-launcher="calc.exe',
        "http://127.0.0.1/a%22%20--gpu-launcher=%22calc.exe"),
    "variable reference": (
        "http://127.0.0.1/%USERNAME%/x", "http://127.0.0.1/%25USERNAME%25/x"),
    "percent escape kept": ("http://127.0.0.1/a%20b", "http://127.0.0.1/a%20b"),
    "scheme in capitals": ("HTTPS://127.0.0.1/UPPER", "HTTPS://127.0.0.1/UPPER"),
    "local program": ("file:///C:/windows/system32/calc.exe", None),
    "command as address": ("calc.exe", None),
}


@pytest.mark.parametrize("url, opened", HOSTILE_CASES.values(), ids=HOSTILE_CASES.keys())
def test_hostile_addresses_are_escaped_or_refused(
        url, opened, agent, server, registry, drive, logs):
    start_with_entries(agent, server, registry, drive, [("2026-12-07", "Bait", url)])
    choose_from_entries_menu(drive, ID_NEWS_ENTRY_FIRST)
    if opened is None:
        code, lines = drive("children", "System Error", 5000)
        assert code == 0, "no error box for a refused address"
        code, _ = drive("press", "System Error", 1, 2000)
        assert code == 0
        # Nothing may open: a browser started anyway would log within a second.
        time.sleep(1)
        assert not Logs.lines(logs.recorder)
    else:
        lines = Logs.wait_lines(logs.recorder, 1)
        assert [recorded_address(line) for line in lines] == [f'"{opened}"']
    assert drive.alive()
