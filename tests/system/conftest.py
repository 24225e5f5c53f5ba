"""Harness for the system tests: the real agent under Wine, driven from outside.

The tests run inside tools/wine-env.sh (DISPLAY, WINEPREFIX set; desktop and taskbar up).
ZV_CROSS_DIR names the cross build folder that holds ZavoraAgent.exe and tools/zv-drive.exe;
the agent's ids, texts and keys come from the module that build generated
(<build>/generated/agent_contract.py, on the PYTHONPATH that tools/wine-env.sh sets).
Each test gets an empty registry branch of the agent, a news server of its own and an agent
process that is ended (and checked to be gone) afterwards.
"""

import os
import pathlib
import re
import struct
import subprocess
import tempfile
import time

import pytest

from agent_contract import (
    ID_TASKBAR_ABOUT,
    ID_TASKBAR_EXIT,
    ID_TASKBAR_REFRESH,
    IDC_ABOUT_LAST_POLL,
    REG_COMPANY_KEY,
    REG_DATA_KEY,
    REG_POLICY_COMPANY_KEY,
    REG_POLICY_KEY,
    REG_SETTINGS_KEY,
)
from news_server import NewsServer
from tls_certs import TestCertificates

SETTINGS_KEY = "HKCU\\" + REG_SETTINGS_KEY
DATA_KEY = "HKCU\\" + REG_DATA_KEY
AGENT_ROOT_KEY = "HKCU\\" + REG_COMPANY_KEY
# Where an administrator's policy lives, for the machine and for the user.
MACHINE_POLICY_KEY = "HKLM\\" + REG_POLICY_KEY
USER_POLICY_KEY = "HKCU\\" + REG_POLICY_KEY
POLICY_ROOT_KEYS = ("HKLM\\" + REG_POLICY_COMPANY_KEY, "HKCU\\" + REG_POLICY_COMPANY_KEY)

CROSS_DIR = pathlib.Path(os.environ.get("ZV_CROSS_DIR", "build/cross")).resolve()
REPO_DIR = pathlib.Path(__file__).resolve().parents[2]


def windows_path(path):
    """Wine maps the host's root to drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def find_agent_exe():
    expected = CROSS_DIR / "src" / "core" / "ZavoraAgent.exe"
    if expected.exists():
        return expected
    found = sorted(CROSS_DIR.glob("**/ZavoraAgent.exe"))
    return found[0] if found else None


# What Wine's launcher prints when it could not create the process at all; seen now and
# then on a machine loaded to several times its cores, for any program.
LAUNCH_FAILED = "Application could not be started"


def run(args, timeout=30, check=False, again_on_failure=False):
    """Runs a program with no pipes left behind for Wine's children to hold. A program that
    Wine could not even start is started again, up to twice; with again_on_failure, so is
    one that failed in any way (for commands that may simply be repeated)."""
    for _ in range(3):
        result = subprocess.run(
            args,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
            timeout=timeout,
            check=False,
            text=True,
            errors="replace",
        )
        if result.returncode == 0 or not (again_on_failure or LAUNCH_FAILED in result.stdout):
            break
    if check:
        result.check_returncode()
    return result


def parse_line(line):
    """'word k=v k=v text=rest of line' -> (word, {k: v}); text and title take the rest."""
    word, _, rest = line.partition(" ")
    fields = {}
    while rest:
        key, _, value = rest.partition("=")
        if key in ("text", "title"):
            fields[key] = value
            break
        value, _, rest = value.partition(" ")
        fields[key] = value
    return word, fields


class Drive:
    """zv-drive.exe: posts to the hidden window and reads windows and menus."""

    def __init__(self, exe):
        self.exe = str(exe)

    def __call__(self, *args, timeout=30):
        result = run(["wine", self.exe, *map(str, args)], timeout=timeout)
        lines = [line.rstrip("\r") for line in result.stdout.splitlines()]
        return result.returncode, [parse_line(line) for line in lines if line]

    def wait_window(self, ms):
        code, _ = self("wait-window", ms)
        return code == 0

    def wait_gone(self, ms):
        code, _ = self("wait-gone", ms)
        return code == 0

    def alive(self):
        code, _ = self("alive")
        return code == 0

    def command(self, command_id):
        code, _ = self("command", command_id)
        assert code == 0, f"command {command_id} could not be posted"

    def post(self, message, wparam):
        code, _ = self("post", message, wparam)
        assert code == 0, f"message {message} could not be posted"

    def poll_delay(self):
        """The milliseconds the poll timer was last armed with; 0 while it is off."""
        code, lines = self("poll-delay")
        assert code == 0, "the agent did not answer the query"
        return int(lines[0][1]["ms"])

    def wait_report(self, seconds):
        """Waits until the poll that runs or is due has reported, the agent answering every
        ask within 2 s meanwhile; the delay the next poll is armed with."""
        code, lines = self("wait-report", seconds * 1000, timeout=seconds + 30)
        assert code == 0, f"the poll did not report within {seconds} s, or the agent " \
            f"did not answer within 2 s: {lines}"
        return int(lines[0][1]["ms"])

    def tray(self, button):
        code, _ = self("tray", button)
        assert code == 0, f"tray {button} could not be posted"

    def menu_items(self, ms=3000):
        """Items of the open popup menu, or None when none opens within ms."""
        code, lines = self("menu", ms)
        if code != 0:
            return None
        return [fields for word, fields in lines if word == "item"]

    def look_menu(self, button, ms=3000):
        """Opens a tray menu, reads its items and closes it again, in one call; None when no
        menu opens within ms."""
        code, lines = self("look-menu", button, ms)
        assert code != 3, "the menu did not close"
        if code != 0:
            return None
        return [fields for word, fields in lines if word == "item"]

    def close_menu(self):
        self("close-menu", 2000)
        code, _ = self("wait-menu-gone", 3000)
        assert code == 0, "the menu did not close"

    def choose(self, item_id, ms=3000):
        code, lines = self("choose", item_id, ms)
        assert code == 0, f"could not choose {item_id}: {lines}"

    def windows(self):
        _, lines = self("windows")
        return [fields for word, fields in lines if word == "window"]


class Registry:
    """The agent's registry branch, through Wine's reg tool."""

    def clear(self):
        run(["wine", "reg", "delete", AGENT_ROOT_KEY, "/f"])

    def write(self, key, values):
        """Writes REG_SZ values in one import."""
        root, _, path = key.partition("\\")
        root = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}.get(root, root)
        lines = ["REGEDIT4", "", f"[{root}\\{path}]"]
        for name, value in values.items():
            escaped = str(value).replace("\\", "\\\\").replace('"', '\\"')
            lines.append(f'"{name}"="{escaped}"')
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False,
                                         encoding="latin-1") as reg_file:
            reg_file.write("\r\n".join(lines) + "\r\n")
        try:
            # Under heavy load Wine's reg has been seen to end with 1 and no word; the import
            # writes the same values again, so it is simply repeated.
            result = run(["wine", "reg", "import", reg_file.name], again_on_failure=True)
            assert result.returncode == 0, f"reg import failed for {key}: {result.stdout}"
        finally:
            os.unlink(reg_file.name)

    def query(self, key):
        """All values of a key as {name: text}; {} when the key does not exist."""
        result = run(["wine", "reg", "query", key])
        values = {}
        for line in result.stdout.splitlines():
            match = re.match(r"^    (.+?)    (REG_\w+)(?:    (.*))?$", line.rstrip("\r\n"))
            if match:
                values[match.group(1)] = match.group(3) or ""
        return values

    def texts(self, key):
        """The REG_SZ values of a key exactly as stored, read from an export: reg query prints
        them converted to the console's code page."""
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "key.reg"
            run(["wine", "reg", "export", key, windows_path(path), "/y"], check=True)
            exported = path.read_bytes().decode("utf-16")

        def unescape(text):
            return re.sub(r"\\(.)", r"\1", text)
        return {unescape(name): unescape(value) for name, value in re.findall(
            r'^"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"\r?$', exported, re.M)}

    def wait_value(self, key, name, expected, timeout):
        deadline = time.monotonic() + timeout
        while True:
            values = self.query(key)
            if values.get(name) == expected or time.monotonic() > deadline:
                return values
            time.sleep(0.2)


def ansi_bytes(text):
    """The bytes a program reads back through the ANSI registry calls under the Western code
    page (Windows-1252), whose five unassigned bytes stand for the control characters of
    the same number."""
    return b"".join(char.encode("cp1252") if char.encode("cp1252", "ignore") else
                    bytes([ord(char)]) for char in text)


def screenshot(name):
    """Saves the desktop as <name>.png in $ZV_SCREENSHOT_DIR, when that is set."""
    directory = os.environ.get("ZV_SCREENSHOT_DIR")
    if directory:
        os.makedirs(directory, exist_ok=True)
        run(["import", "-window", "root", os.path.join(directory, f"{name}.png")])


def data_values(epoch, last_modified, entries):
    values = {"epoch": epoch, "lastModified": last_modified, "numentries": len(entries)}
    for index, (date, title, url) in enumerate(entries):
        values[f"Date_{index}"] = date
        values[f"Title_{index}"] = title
        values[f"URL_{index}"] = url
    return values


def menu_of(drive, button, shot=None):
    """Opens a tray menu, reads its items and closes it again; None if none opened."""
    if not shot or not os.environ.get("ZV_SCREENSHOT_DIR"):
        return drive.look_menu(button)
    drive.tray(button)
    items = drive.menu_items()
    if items is not None:
        screenshot(shot)
        drive.close_menu()
    return items


def ids_of(items):
    return [int(item["id"]) for item in items]


def wait_for(condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def wait_until_idle(drive, timeout=20, menu_ms=5000):
    """Waits for the report of the poll that runs or is due (the first poll comes one second
    after start-up); then the command menu opens within menu_ms and offers Refresh again.

    The menu opens at once on an idle machine; the bound only has to tell an agent whose
    window is blocked (a poll may hold its worker for 30 s) from two Wine environments
    sharing two busy cores, where 2 s was seen to pass."""
    drive.wait_report(timeout)
    items = drive.look_menu("right", menu_ms)
    assert items is not None, f"the tray menu did not open within {menu_ms} ms"
    assert ID_TASKBAR_REFRESH in ids_of(items), "the menu lacks Refresh after the report"
    return items


def about_last_poll(drive, shot=None):
    """The About box's last-poll text, its lines joined by blanks; the box is closed again."""
    drive.command(ID_TASKBAR_ABOUT)
    code, lines = drive("children", "About Zavora", 5000)
    assert code == 0, "the About box did not open"
    if shot:
        screenshot(shot)
    drive("press", "About Zavora", 1, 2000)
    code, _ = drive("wait-no-title", "About Zavora", 3000)
    assert code == 0, "the About box did not close"
    return [fields["text"] for word, fields in lines
            if word == "child" and fields["id"] == str(IDC_ABOUT_LAST_POLL)][0]


def visible_popups(drive):
    return [window for window in drive.windows()
            if window["class"] == "ZavoraNewsPopup" and window["visible"] == "1"]


def wait_popup(drive, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        popups = visible_popups(drive)
        if popups:
            return popups[0]
        time.sleep(0.2)
    return None


def wait_popup_settled(drive, timeout):
    """The visible popup once it has stopped sliding (two reads in a row give the same
    place), or None."""
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        popups = visible_popups(drive)
        if popups and last and popups[0]["rect"] == last["rect"]:
            return popups[0]
        last = popups[0] if popups else None
    return None


def rect_of(window):
    return [int(value) for value in window["rect"].split(",")]


class Agent:
    def __init__(self, exe, drive):
        self.exe = str(exe)
        self.drive = drive
        # The agent hands its environment on to the browsers it starts. Wine's errors and
        # exceptions go to a log that a failure shows, to tell a crash from an early end.
        self.env = {**os.environ, "WINEDEBUG": "err+all,warn+seh"}
        self.process = None
        self.launched = None
        self.window_found = None
        self.log = tempfile.TemporaryFile()

    def start(self):
        for _ in range(2):
            self.launched = time.monotonic()
            self.log.seek(0)
            self.log.truncate()
            self.process = subprocess.Popen(
                ["wine", self.exe],
                stdin=subprocess.DEVNULL,
                stdout=self.log,
                stderr=self.log,
                env=self.env,
            )
            if self.drive.wait_window(15000):
                self.window_found = time.monotonic()
                return self
            if LAUNCH_FAILED not in self.last_words():
                break
        pytest.fail("the agent's hidden window did not appear: " + self.last_words())

    def last_words(self):
        """How the agent ended (or that it runs) and the last lines Wine wrote for it."""
        code = self.process.poll() if self.process else None
        if code is None:
            self.kill()
            state = "it was running"
        else:
            state = f"it had ended with exit code {code}"
        self.log.seek(0)
        lines = self.log.read().decode("utf-8", "replace").splitlines()
        return state + "; Wine's last messages: " + (" | ".join(lines[-8:]) or "none")

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout):
        """The exit code, or None when the agent is still running after timeout seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def exit(self, timeout=15):
        if self.drive("command", ID_TASKBAR_EXIT)[0] != 0:
            pytest.fail("the agent's window was gone before Exit: " + self.last_words())
        code = self.wait_exit(timeout)
        assert code is not None, "the agent did not exit"
        return code

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait(10)


@pytest.fixture(scope="session")
def agent_exe():
    if "WINEPREFIX" not in os.environ or "DISPLAY" not in os.environ:
        pytest.skip("needs the Wine environment of tools/wine-env.sh")
    exe = find_agent_exe()
    if exe is None:
        pytest.skip(f"ZavoraAgent.exe is not built in {CROSS_DIR} yet")
    return exe


@pytest.fixture(scope="session")
def drive(agent_exe):
    exe = CROSS_DIR / "tools" / "zv-drive.exe"
    assert exe.exists(), f"{exe} is missing: build the zv-drive target"
    return Drive(exe)


def register_browser(mode):
    """recorder, ie or none: which stand-in the prefix opens web pages with."""
    script = REPO_DIR / "tools" / "register-test-browser.sh"
    result = run(["bash", str(script), os.environ["WINEPREFIX"], mode, str(CROSS_DIR / "tools")])
    assert result.returncode == 0, f"register-test-browser.sh {mode} failed"


@pytest.fixture(scope="session", autouse=True)
def prepared_prefix(agent_exe):
    """Pages open in the recorder: Wine's own handler would pass them on to the host's
    browser. A crashing agent ends at once instead of waiting in Wine's crash dialog."""
    for stand_in in ("zv-url-recorder.exe", "zv-fake-ie.dll"):
        assert (CROSS_DIR / "tools" / stand_in).exists(), f"{stand_in} is not built"
    register_browser("recorder")
    run(["wine", "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
         "/t", "REG_DWORD", "/d", "0", "/f"], check=True)


@pytest.fixture(scope="session")
def certificates(agent_exe, tmp_path_factory):
    """Certificates for the HTTPS tests; their CA is trusted in the prefix for the session."""
    tool = CROSS_DIR / "tools" / "zv-trust-root.exe"
    assert tool.exists(), f"{tool} is missing: build the zv-trust-root target"
    made = TestCertificates(str(tmp_path_factory.mktemp("tls")))
    der = windows_path(made.ca_der)
    assert run(["wine", str(tool), "add", der]).returncode == 0, "the test CA was not trusted"
    yield made
    run(["wine", str(tool), "remove", der])


@pytest.fixture
def server():
    news = NewsServer()
    yield news
    news.stop()


@pytest.fixture
def registry(agent_exe, server):
    """An agent branch that holds only the connection to this test's server."""
    reg = Registry()
    reg.clear()
    reg.write(SETTINGS_KEY, {
        "urlHost": "127.0.0.1",
        "urlPort": server.port,
        "urlPath": "/news.txt",
        "alertBySystemSound": 0,
    })
    yield reg
    reg.clear()


CONNECTIONS_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"


def connection_settings(proxy="", bypass="", script="", detect=False):
    """Windows' proxy settings as Windows stores them in DefaultConnectionSettings: version
    0x46, a counter, the flags (1 direct, 2 fixed proxy, 4 script, 8 detection), then the
    proxy, the bypass list and the script's address, each after its length."""
    flags = 1 | (2 if proxy else 0) | (4 if script else 0) | (8 if detect else 0)
    value = struct.pack("<III", 0x46, 0, flags)
    for text in (proxy, bypass, script):
        value += struct.pack("<I", len(text)) + text.encode("ascii")
    return value


@pytest.fixture
def windows_proxy(agent_exe):
    """windows_proxy(**settings) sets the user's proxy settings (see connection_settings) for
    the agents started afterwards; a machine without a proxy's again after the test."""
    def set_settings(**settings):
        run(["wine", "reg", "add", CONNECTIONS_KEY, "/v", "DefaultConnectionSettings", "/t",
             "REG_BINARY", "/d", connection_settings(**settings).hex(), "/f"], check=True)
    yield set_settings
    set_settings()


@pytest.fixture
def policy(registry):
    """Writes policy values as registry.write does; every policy value of the agent's
    company is removed again after the test."""
    yield registry.write
    for key in POLICY_ROOT_KEYS:
        run(["wine", "reg", "delete", key, "/f"])


DESKTOP_KEY = r"HKCU\Control Panel\Desktop"


@pytest.fixture
def screen_dpi(agent_exe):
    """Sets the screen's DPI for programs started afterwards; 96 again after the test."""
    def set_dpi(dpi):
        run(["wine", "reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD",
             "/d", str(dpi), "/f"], check=True)
    yield set_dpi
    set_dpi(96)


@pytest.fixture
def agent(agent_exe, drive, registry):
    """An agent, not yet started; whatever a test leaves running is ended afterwards."""
    instance = Agent(agent_exe, drive)
    yield instance
    if instance.running():
        if drive("menu", 0)[0] == 0:
            drive.close_menu()
        drive("command", ID_TASKBAR_EXIT)
        if instance.wait_exit(40) is None:
            instance.kill()
            pytest.fail("the agent did not end after the test")
    assert drive.wait_gone(5000), "a hidden agent window outlived the agent"
