"""The installers and their uninstallers, silent, under Wine.

The x64 installer runs wherever the Wine prefix runs 64-bit programs, the x86 installer
wherever it runs 32-bit ones; a 64-bit prefix on a machine whose kernel runs 32-bit programs
runs both, and there they also replace each other. A silent install puts the agent, its
shortcut, its autostart entry and its uninstall entry in place; the installed agent polls
the test's news site; the silent uninstaller stops the running agent the way Exit does (so
it saves its state), removes everything it installed, keeps the user's settings and news
unless /PURGE is given, and always keeps the administrator's policy.
"""

import functools
import os
import pathlib

import pytest

from agent_contract import COMPANY, PRODUCT_NAME, VERSION
from conftest import (AGENT_ROOT_KEY, CROSS_DIR, DATA_KEY, MACHINE_POLICY_KEY, SETTINGS_KEY,
                      USER_POLICY_KEY, Agent, run, wait_for)

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZavoraNewsAgent"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
X64, X86 = "x64", "x86"
# The machine type in the executable's file header.
MACHINE = {X64: 0x8664, X86: 0x14C}


def drive_c():
    return pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c"


def install_dir():
    return drive_c() / "Program Files" / PRODUCT_NAME


def shortcut():
    return drive_c() / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / (
        PRODUCT_NAME + ".lnk")


def installer_path(kind):
    """The 64-bit build makes the x64 installer, the 32-bit build the x86 one; this build
    and the other one beside it (ZV_OTHER_CROSS_DIR) may hold either."""
    folders = [CROSS_DIR, pathlib.Path(os.environ.get("ZV_OTHER_CROSS_DIR", CROSS_DIR))]
    arch, name = {X64: ("win64", f"ZavoraAgentSetup-{VERSION}-x64.exe"),
                  X86: ("win32", f"ZavoraAgentSetup-{VERSION}.exe")}[kind]
    for folder in folders:
        marker = folder / "wine-arch"
        if marker.exists() and marker.read_text().strip() == arch and (folder / name).exists():
            return folder / name
    return None


@functools.lru_cache(maxsize=None)
def prefix_runs(kind):
    """Whether this Wine prefix runs programs of this kind: a 32-bit prefix runs only
    32-bit ones, a 64-bit prefix 32-bit ones too where the kernel runs them."""
    if os.environ.get("WINEARCH") != "win64":
        return kind == X86
    if kind == X64:
        return True
    return run(["wine", r"C:\windows\syswow64\cmd.exe", "/c", "exit", "7"]).returncode == 7


def setup_of(kind):
    path = installer_path(kind)
    if path is None:
        pytest.skip(f"the {kind} installer is not built (makensis missing?)")
    if not prefix_runs(kind):
        pytest.skip(f"this Wine prefix cannot run the {kind} installer")
    return path


@pytest.fixture(params=[X64, X86])
def kind(request, agent_exe):
    setup_of(request.param)
    return request.param


def machine_of(exe):
    data = exe.read_bytes()
    header = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[header + 4:header + 6], "little")


def install(kind):
    result = run(["wine", str(setup_of(kind)), "/S"], timeout=120)
    assert result.returncode == 0
    assert machine_of(install_dir() / "ZavoraAgent.exe") == MACHINE[kind]


def uninstall(registry, *switches):
    # The uninstaller copies itself away and returns at once; it is done when its own
    # registration is gone.
    run(["wine", str(install_dir() / "Uninstall.exe"), "/S", *switches], timeout=60)
    assert wait_for(lambda: not registry.query(UNINSTALL_KEY) and not install_dir().exists(),
                    120), "the uninstaller did not finish"


@pytest.fixture
def cleanup(registry):
    yield
    if install_dir().exists():
        run(["wine", str(install_dir() / "Uninstall.exe"), "/S", "/PURGE"], timeout=60)


def assert_installed_once(registry):
    """The shortcut, the autostart entry and one registration (in the 64-bit registry of
    64-bit Windows) are there, all for the agent in Program Files."""
    assert shortcut().exists()
    assert registry.query(RUN_KEY).get(PRODUCT_NAME) == \
        f'"C:\\Program Files\\{PRODUCT_NAME}\\ZavoraAgent.exe"'
    assert registry.query(UNINSTALL_KEY).get("InstallLocation") == \
        f"C:\\Program Files\\{PRODUCT_NAME}"
    if os.environ.get("WINEARCH") == "win64":
        assert run(["wine", "reg", "query", UNINSTALL_KEY, "/reg:32"]).returncode != 0


def test_silent_install_then_uninstall_keeps_the_users_data(kind, registry, server, drive,
                                                            cleanup):
    server.set_news("edition-1", [("07.12.", "Installed and polling", "http://127.0.0.1/a")])
    install(kind)
    assert (install_dir() / "Uninstall.exe").exists()
    assert_installed_once(registry)
    entry = registry.query(UNINSTALL_KEY)
    assert entry["DisplayName"] == PRODUCT_NAME
    assert entry["DisplayVersion"] == VERSION
    assert entry["Publisher"] == COMPANY
    assert entry["DisplayIcon"].endswith("ZavoraAgent.exe,0")
    assert "/S" in entry["QuietUninstallString"]

    agent = Agent(install_dir() / "ZavoraAgent.exe", drive).start()
    values = registry.wait_value(DATA_KEY, "epoch", "edition-1", 20)
    assert values.get("Title_0") == "Installed and polling"

    uninstall(registry)
    assert agent.wait_exit(10) == 0, "the uninstaller did not stop the agent"

    # Everything installed is gone ...
    assert not shortcut().exists()
    assert PRODUCT_NAME not in registry.query(RUN_KEY)
    assert not drive.alive()
    # ... and the agent's own data stays, with the state it saved when it was stopped.
    settings = registry.query(SETTINGS_KEY)
    assert settings.get("newEntriesFlag") == "1"
    assert settings.get("urlPort") == str(server.port)
    assert registry.query(DATA_KEY).get("epoch") == "edition-1"


def test_silent_uninstall_with_purge_removes_the_users_data_but_not_the_policy(
        kind, registry, policy, cleanup):
    install(kind)
    policy(MACHINE_POLICY_KEY, {"urlHost": "news.corp"})
    policy(USER_POLICY_KEY, {"pollingDelay": "60"})
    uninstall(registry, "/PURGE")
    assert registry.query(SETTINGS_KEY) == {}
    assert run(["wine", "reg", "query", AGENT_ROOT_KEY]).returncode != 0
    assert registry.query(MACHINE_POLICY_KEY) == {"urlHost": "news.corp"}
    assert registry.query(USER_POLICY_KEY) == {"pollingDelay": "60"}


# Each row: the installer that installs first, then the one that replaces it.
@pytest.mark.parametrize("first, second", [(X86, X64), (X64, X86)], ids=["x86-x64", "x64-x86"])
def test_switching_installers_replaces_the_agent_in_place(first, second, registry, cleanup):
    setup_of(first)
    setup_of(second)
    install(first)
    install(second)
    assert_installed_once(registry)
    uninstall(registry)
    assert not shortcut().exists()


def test_an_earlier_32_bit_install_in_program_files_x86_is_removed(registry, cleanup):
    setup_of(X64)
    old_dir = drive_c() / "Program Files (x86)" / PRODUCT_NAME
    old_dir.mkdir(parents=True, exist_ok=True)
    for name in ("ZavoraAgent.exe", "Uninstall.exe"):
        (old_dir / name).write_bytes(b"MZ")
    old_location = f"C:\\Program Files (x86)\\{PRODUCT_NAME}"
    run(["wine", "reg", "add", UNINSTALL_KEY, "/v", "InstallLocation", "/d", old_location,
         "/reg:32", "/f"], check=True)
    run(["wine", "reg", "add", RUN_KEY, "/v", PRODUCT_NAME, "/d",
         f'"{old_location}\\ZavoraAgent.exe"', "/f"], check=True)

    install(X64)
    assert not old_dir.exists()
    assert_installed_once(registry)


def test_the_x64_installer_does_not_start_on_32_bit_windows(registry):
    path = installer_path(X64)
    if path is None or os.environ.get("WINEARCH") == "win64":
        pytest.skip("needs the x64 installer and a 32-bit Wine prefix")
    assert run(["wine", str(path), "/S"], timeout=60).returncode != 0
    assert not install_dir().exists()
    assert registry.query(UNINSTALL_KEY) == {}


def test_site_example_points_the_agent_at_another_site(registry):
    example = CROSS_DIR / "installer" / "zavora-site.reg"
    assert run(["wine", "regedit", "/S", str(example)]).returncode == 0
    settings = registry.query(SETTINGS_KEY)
    assert settings["urlScheme"] == "https"
    assert settings["urlHost"] == "news.example.org"
    assert settings["urlPort"] == "443"
    assert settings["urlPath"] == "/agent/.newsupdate"
