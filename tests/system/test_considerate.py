"""The real agent keeps quiet while the user is busy, and can be used without a mouse.

A full-screen window of ours in front stands for a presentation or a game: the popup (and
with it the sound, which the hidden window's own tests record) waits while it is there, and
comes once when the user is back. Wine never reports the user as busy and sends no session
notifications, so the full-screen window is what the agent sees, and the unlock is posted as
Windows sends it. The keyboard's notifications are posted as the shell sends them.
"""

import subprocess

import pytest

from agent_contract import ID_SITE_HOME, ID_TASKBAR_DISABLE, ID_TASKBAR_REFRESH
from conftest import (
    DATA_KEY,
    SETTINGS_KEY,
    data_values,
    ids_of,
    screenshot,
    visible_popups,
    wait_popup_settled,
    wait_until_idle,
)

WM_CONTEXTMENU = 0x7B
NIN_KEYSELECT = 0x401
WM_WTSSESSION_CHANGE = 0x2B1
WTS_SESSION_UNLOCK = 8
ROLE_SYSTEM_ALERT = 8
FULL_SCREEN_TITLE = "zv-drive full screen"
EDITIONS = [
    ("edition-1", "Sun, 06 Dec 2026 08:00:00 GMT"),
    ("edition-2", "Mon, 07 Dec 2026 05:00:00 GMT"),
    ("edition-3", "Mon, 07 Dec 2026 09:00:00 GMT"),
]
ENTRIES = [("2026-12-07", "Harbour bridge reopens after repairs", "http://127.0.0.1/a/1.html")]


class FullScreenWindow:
    """zv-drive's full-screen window, in front of every other window while it is open."""

    def __init__(self, drive):
        self.drive = drive
        self.process = None

    def __enter__(self):
        self.process = subprocess.Popen(["wine", self.drive.exe, "fullscreen"],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        assert self.drive("wait-title", FULL_SCREEN_TITLE, 10000)[0] == 0, "no full-screen window"
        front = [window for window in self.drive.windows()
                 if window.get("title") == FULL_SCREEN_TITLE]
        assert [window["front"] for window in front] == ["1"], "the window is not in front"
        return self

    def __exit__(self, *exc):
        self.drive("close", FULL_SCREEN_TITLE, 2000)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise


# The agent runs before the full-screen window comes, as it does from the user's logon: a
# window that starts takes the foreground.
@pytest.mark.parametrize("editions", [1, 2], ids=["one edition", "two editions"])
def test_alert_waits_behind_a_full_screen_window_and_comes_once(editions, agent, server,
                                                                 registry, drive):
    registry.write(DATA_KEY, data_values(*EDITIONS[0], ENTRIES))
    server.set_news(EDITIONS[0][0], ENTRIES, EDITIONS[0][1])
    agent.start()
    wait_until_idle(drive)
    with FullScreenWindow(drive):
        for number, (epoch, modified) in enumerate(EDITIONS[1:editions + 1], start=1):
            server.set_news(epoch, ENTRIES, modified)
            drive.command(ID_TASKBAR_REFRESH)
            assert len(server.wait_requests(1 + 2 * number, 10)) == 1 + 2 * number
            drive.wait_report(20)
            # The report has run: a popup would be on the screen already.
            assert visible_popups(drive) == [], f"a popup over the full-screen window ({epoch})"
    drive.post(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK)
    popup = wait_popup_settled(drive, 8)
    assert popup is not None, "no popup when the user was back"
    code, lines = drive("accessible", "ZavoraNewsPopup", 2000)
    assert code == 0, lines
    word, fields = lines[-1]
    assert (word, fields["role"]) == ("accessible", str(ROLE_SYSTEM_ALERT))
    assert fields["text"] == "There are new articles on Zavora. Click here to view"
    assert agent.exit() == 0
    assert registry.query(SETTINGS_KEY)["newEntriesFlag"] == "1", "the icon lost the news"


def test_keyboard_notifications_open_the_menus(agent, server, drive):
    server.set_news(EDITIONS[1][0], ENTRIES, EDITIONS[1][1])
    agent.start()
    wait_until_idle(drive)
    entries = drive.look_menu(str(NIN_KEYSELECT))
    assert entries is not None, "Enter on the icon opened no menu"
    assert ids_of(entries)[-1] == ID_SITE_HOME
    commands = drive.look_menu(str(WM_CONTEXTMENU))
    assert commands is not None, "Shift+F10 on the icon opened no menu"
    assert ids_of(commands)[0] == ID_TASKBAR_DISABLE
    screenshot("keyboard-command-menu")
