"""Settings set by policy, through the real agent under Wine.

The user's own Settings point the agent at 127.0.0.2, where nothing listens; a policy
points it at the test's server. A poll that stores the server's list shows which value the
agent took, and the Settings afterwards show that it kept the user's own.
"""

import pytest

from agent_contract import ID_TASKBAR_CONFIGURE, IDC_POLICY_NOTE, PRODUCT_NAME
from agent_contract import IDC_POLL_INTERVAL, IDC_PROXY_HOST, IDC_USE_PROXY
from conftest import DATA_KEY, MACHINE_POLICY_KEY, SETTINGS_KEY, USER_POLICY_KEY

UNREACHABLE = "127.0.0.2"

# Each row: the user's policy, then the machine's.
SOURCES = {
    "machine policy": ({}, {"urlHost": "127.0.0.1"}),
    "user policy": ({"urlHost": "127.0.0.1"}, {}),
    "machine over user": ({"urlHost": UNREACHABLE}, {"urlHost": "127.0.0.1"}),
}


@pytest.mark.parametrize("user, machine", SOURCES.values(), ids=SOURCES.keys())
def test_a_policy_host_is_polled_and_the_users_own_is_kept(user, machine, agent, server,
                                                          registry, policy, drive):
    server.set_news("edition-1", [("07.12.", "Set by policy", "http://127.0.0.1/a")])
    registry.write(SETTINGS_KEY, {"urlHost": UNREACHABLE})
    for key, values in ((USER_POLICY_KEY, user), (MACHINE_POLICY_KEY, machine)):
        if values:
            policy(key, values)
    agent.start()
    drive.wait_report(20)
    assert registry.query(DATA_KEY).get("epoch") == "edition-1"
    assert f"Host: 127.0.0.1:{server.port}\r\n".encode() in server.requests[0].raw
    assert agent.exit() == 0
    assert registry.query(SETTINGS_KEY)["urlHost"] == UNREACHABLE


def test_the_sheet_locks_what_policy_sets_and_ok_leaves_it_unwritten(agent, registry, policy,
                                                                     drive):
    # 45 minutes shows as "1 hour" in the interval list; the policy's 45 must stay in force.
    policy(MACHINE_POLICY_KEY, {"pollingDelay": "45", "proxyHost": "gate.corp"})
    agent.start()
    drive.wait_report(20)
    title = f"Configure {PRODUCT_NAME}"
    drive.command(ID_TASKBAR_CONFIGURE)
    code, lines = drive("children", title, 5000)
    assert code == 0, "the sheet did not open"
    children = {int(fields["id"]): fields for word, fields in lines if word == "child"}
    assert children[IDC_POLL_INTERVAL]["enabled"] == "0"
    assert children[IDC_PROXY_HOST]["enabled"] == "0"
    assert children[IDC_PROXY_HOST]["text"] == "gate.corp"
    assert children[IDC_USE_PROXY]["enabled"] == "1"
    note = children[IDC_POLICY_NOTE]
    assert (note["visible"], note["text"]) == ("1", "Set by your administrator")

    assert drive("press", title, 1, 2000)[0] == 0
    assert drive("wait-no-title", title, 5000)[0] == 0
    assert drive.poll_delay() == 45 * 60 * 1000
    settings = registry.query(SETTINGS_KEY)
    assert "pollingDelay" not in settings and "proxyHost" not in settings
    assert settings["proxyPort"] == "8001", "OK saved the settings the policy leaves alone"
    assert agent.exit() == 0
