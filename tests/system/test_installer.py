"""The installer and uninstaller, silent, under Wine.

A silent install puts the agent, its shortcut, its autostart entry and its uninstall entry
in place; the installed agent polls the test's news site; the silent uninstaller stops the
running agent the way Exit does (so it saves its state), removes everything it installed,
and keeps the user's settings and news unless /PURGE is given.
"""

import os
import pathlib

import pytest

from agent_contract import COMPANY, PRODUCT_NAME, VERSION
from conftest import CROSS_DIR, DATA_KEY, SETTINGS_KEY, AGENT_ROOT_KEY, Agent, run, wait_for

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZavoraNewsAgent"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def drive_c():
    return pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c"


def install_dir():
    return drive_c() / "Program Files" / PRODUCT_NAME


def shortcut():
    return drive_c() / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / (
        PRODUCT_NAME + ".lnk")


@pytest.fixture
def setup_exe(agent_exe):
    if os.environ.get("WINEARCH") == "win64":
        pytest.skip("the installer is a 32-bit program, which this machine cannot run")
    found = sorted(CROSS_DIR.glob("ZavoraAgentSetup-*.exe"))
    if not found:
        pytest.skip("the installer is not built (makensis missing?)")
    return found[-1]


def install(setup_exe, registry):
    result = run(["wine", str(setup_exe), "/S"], timeout=120)
    assert result.returncode == 0
    assert (install_dir() / "ZavoraAgent.exe").exists()


def uninstall(registry, *switches):
    # The uninstaller copies itself away and returns at once; it is done when its own
    # registration is gone.
    run(["wine", str(install_dir() / "Uninstall.exe"), "/S", *switches], timeout=60)
    assert wait_for(lambda: not registry.query(UNINSTALL_KEY) and not install_dir().exists(),
                    120), "the uninstaller did not finish"


def test_silent_install_then_uninstall_keeps_the_users_data(setup_exe, registry, server,
                                                             drive):
    server.set_news("edition-1", [("07.12.", "Installed and polling", "http://127.0.0.1/a")])
    install(setup_exe, registry)
    try:
        assert (install_dir() / "Uninstall.exe").exists()
        assert shortcut().exists()
        assert registry.query(RUN_KEY).get(PRODUCT_NAME) == \
            f'"C:\\Program Files\\{PRODUCT_NAME}\\ZavoraAgent.exe"'
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
    finally:
        if install_dir().exists():
            run(["wine", str(install_dir() / "Uninstall.exe"), "/S", "/PURGE"], timeout=60)

    # Everything installed is gone ...
    assert not shortcut().exists()
    assert PRODUCT_NAME not in registry.query(RUN_KEY)
    assert not drive.alive()
    # ... and the agent's own data stays, with the state it saved when it was stopped.
    settings = registry.query(SETTINGS_KEY)
    assert settings.get("newEntriesFlag") == "1"
    assert settings.get("urlPort") == str(server.port)
    assert registry.query(DATA_KEY).get("epoch") == "edition-1"


def test_silent_uninstall_with_purge_removes_the_users_data(setup_exe, registry):
    install(setup_exe, registry)
    uninstall(registry, "/PURGE")
    assert registry.query(SETTINGS_KEY) == {}
    assert run(["wine", "reg", "query", AGENT_ROOT_KEY]).returncode != 0


def test_site_example_points_the_agent_at_another_site(registry):
    example = CROSS_DIR / "installer" / "zavora-site.reg"
    assert run(["wine", "regedit", "/S", str(example)]).returncode == 0
    settings = registry.query(SETTINGS_KEY)
    assert settings["urlScheme"] == "https"
    assert settings["urlHost"] == "news.example.org"
    assert settings["urlPort"] == "443"
    assert settings["urlPath"] == "/agent/.newsupdate"
