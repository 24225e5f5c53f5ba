"""The real agent started on registries holding bad values.

Every run: the agent starts, its first poll reports, both tray menus open, it answers within
a second, Exit ends it with code 0, and what it wrote back is valid: every value of its
Settings and Data keys is REG_SZ text, numbers are decimal, unreadable values have given
way to their defaults. Values of any length are read back whole, so a long stored text
survives the run unchanged.
"""

import re

import pytest

from agent_contract import MOST_STORED_ENTRIES
from conftest import DATA_KEY, SETTINGS_KEY, wait_until_idle
from faults_harness import (
    RegValue,
    fault_server,  # noqa: F401 (fixture)
    faults_agent,  # noqa: F401 (fixture)
    key_locker,  # noqa: F401 (fixture)
    news_reply,
    read_key,
    texts,
    write_keys,
)

SERVER_MODIFIED = "Mon, 07 Dec 2026 05:00:00 GMT"
ENTRIES = [("2026-12-07", "First title", "http://news.example/1")]
NEW_DATA = {"epoch": "edition-7", "lastModified": SERVER_MODIFIED, "numentries": "1",
            "Date_0": "2026-12-07", "Title_0": "First title", "URL_0": "http://news.example/1"}
FLAGS = ["alertBySystemSound", "alertByUserSound", "alertByMessage", "useProxy",
         "useProxyAuth"]
NUMBERS = FLAGS + ["pollingDelay", "newEntriesFlag"]
TEXTS = ["soundPath", "authUsername", "authPassword", "proxyHost", "proxyPort"]
CONNECTION = ["urlHost", "urlPort", "urlPath"]
SETTING_DEFAULTS = {
    "alertBySystemSound": "1", "alertByUserSound": "0", "alertByMessage": "1", "useProxy": "0",
    "useProxyAuth": "0", "pollingDelay": "5", "authUsername": "", "authPassword": "",
    "soundPath": " ", "urlHost": "www.zavora.example", "urlPort": "80",
    "urlPath": "/.newsupdate", "proxyHost": "proxy", "proxyPort": "8001",
}
WRONG_TYPES = {
    "REG_DWORD": RegValue("dword", 1),
    "REG_BINARY": RegValue("binary", b"1\0"),
    "REG_EXPAND_SZ": RegValue("expand", "1"),
}


def connection(server):
    return {"urlHost": "127.0.0.1", "urlPort": str(server.port), "urlPath": "/news.txt"}


def assert_only_valid_values():
    settings, data = read_key(SETTINGS_KEY), read_key(DATA_KEY)
    for name, value in {**settings, **data}.items():
        assert value.kind == "sz", f"{name} was left as {value.kind}"
    assert settings.keys() == SETTING_DEFAULTS.keys() | {"newEntriesFlag"}
    for name in NUMBERS:
        assert re.fullmatch(r"-?\d+", settings[name].data), f"{name}: {settings[name].data!r}"
    assert re.fullmatch(r"\d+", data["numentries"].data)
    count = int(data["numentries"].data)
    for index in range(count):
        for prefix in ("Date_", "Title_", "URL_"):
            assert f"{prefix}{index}" in data
    return texts(settings), texts(data)


def run_agent(agent, drive):
    """Starts the agent, lets its first poll report and uses both menus; ends it.

    Closing the entries menu ends any new-articles state, so newEntriesFlag is saved as 0.
    """
    agent.start()
    wait_until_idle(drive, timeout=30)
    assert drive.alive()
    assert drive.look_menu("left") is not None, "the entries menu did not open"
    assert agent.exit(timeout=60) == 0


@pytest.mark.parametrize("wrong", WRONG_TYPES.values(), ids=WRONG_TYPES.keys())
def test_wrong_types_give_way_to_defaults(wrong, fault_server, faults_agent, drive):
    fault_server.behaviour = news_reply("edition-7", ENTRIES, SERVER_MODIFIED)
    write_keys({
        SETTINGS_KEY: {**connection(fault_server),
                       **{name: wrong for name in FLAGS + TEXTS + ["pollingDelay",
                                                                  "newEntriesFlag"]}},
        DATA_KEY: {name: wrong for name in ["epoch", "lastModified", "numentries", "Date_0",
                                            "Title_0", "URL_0"]},
    })
    assert read_key(DATA_KEY)["numentries"] == wrong
    run_agent(faults_agent, drive)
    # No stored epoch or Last-Modified could be read, so the poll fetched and stored a list.
    assert fault_server.methods() == ["HEAD", "GET"]
    settings, data = assert_only_valid_values()
    assert settings == {**SETTING_DEFAULTS, **connection(fault_server), "newEntriesFlag": "0"}
    assert data == NEW_DATA


@pytest.mark.parametrize("wrong", WRONG_TYPES.values(), ids=WRONG_TYPES.keys())
def test_wrong_types_in_the_connection_settings(wrong, faults_agent, drive):
    # The defaults name a host that does not resolve here: the poll fails at once.
    write_keys({SETTINGS_KEY: {name: wrong for name in CONNECTION}})
    assert read_key(SETTINGS_KEY)["urlPort"] == wrong
    run_agent(faults_agent, drive)
    settings, data = assert_only_valid_values()
    assert settings == {**SETTING_DEFAULTS, "newEntriesFlag": "0"}
    assert data == {"epoch": "", "lastModified": "", "numentries": "0"}


def long_text(length, letter):
    return "/" + letter * (length - 1)


@pytest.mark.parametrize("length", [255, 256, 10_000])
def test_long_texts_are_read_back_whole(length, fault_server, faults_agent, drive):
    stored = {name: long_text(length, name[0]) for name in TEXTS + ["urlPath"]}
    data = {"epoch": long_text(length, "e"), "lastModified": long_text(length, "l"),
            "numentries": "1", "Date_0": long_text(length, "d"),
            "Title_0": long_text(length, "t"), "URL_0": long_text(length, "u")}
    # The server's Last-Modified equals the stored one: only a whole read sees no change.
    fault_server.behaviour = news_reply("edition-7", ENTRIES, data["lastModified"])
    write_keys({SETTINGS_KEY: {**connection(fault_server), **stored}, DATA_KEY: data})
    run_agent(faults_agent, drive)
    assert fault_server.methods() == ["HEAD"]
    assert fault_server.last_request().startswith(f"HEAD {stored['urlPath']} HTTP/1.0\r\n".encode())
    settings, written = assert_only_valid_values()
    assert {name: settings[name] for name in stored} == stored
    assert written == data


# numentries as stored, pollingDelay as stored, and what each is written back as. A delay
# of 0 or less polls every 5 minutes and one beyond the timer's range is capped, but the
# stored text is kept; a count beyond the most the agent stores is capped so start-up stays
# bounded.
COUNTS_AND_DELAYS = {
    "-1 entries, delay 0": ("-1", "0", "0", "0"),
    "0 entries, delay -5": ("0", "-5", "0", "-5"),
    "2000000000 entries, delay 99999999": ("2000000000", "99999999", str(MOST_STORED_ENTRIES),
                                           "99999999"),
    "entries abc, delay abc": ("abc", "abc", "0", "5"),
}


@pytest.mark.parametrize("count, delay, count_after, delay_after", COUNTS_AND_DELAYS.values(),
                         ids=COUNTS_AND_DELAYS.keys())
def test_counts_and_delays_out_of_range(count, delay, count_after, delay_after, fault_server,
                                        faults_agent, drive):
    # The stored list is the server's: the poll finds nothing new and leaves it alone.
    fault_server.behaviour = news_reply("edition-7", ENTRIES, SERVER_MODIFIED)
    write_keys({SETTINGS_KEY: {**connection(fault_server), "pollingDelay": delay},
                DATA_KEY: {**NEW_DATA, "numentries": count}})
    run_agent(faults_agent, drive)
    assert fault_server.methods() == ["HEAD"]
    settings, data = assert_only_valid_values()
    assert settings["pollingDelay"] == delay_after
    assert data["numentries"] == count_after
    assert data["Title_0"] == "First title"
    if count_after == str(MOST_STORED_ENTRIES):
        assert data[f"Title_{MOST_STORED_ENTRIES - 1}"] == ""


def test_no_keys_at_all(faults_agent, drive):
    run_agent(faults_agent, drive)
    settings, data = assert_only_valid_values()
    assert settings == {**SETTING_DEFAULTS, "newEntriesFlag": "0"}
    assert data == {"epoch": "", "lastModified": "", "numentries": "0"}


def test_missing_data_key(fault_server, faults_agent, drive):
    fault_server.behaviour = news_reply("edition-7", ENTRIES, SERVER_MODIFIED)
    write_keys({SETTINGS_KEY: connection(fault_server)})
    run_agent(faults_agent, drive)
    assert fault_server.methods() == ["HEAD", "GET"]
    _, data = assert_only_valid_values()
    assert data == NEW_DATA


# Keys nobody may read or write: their values stay the defaults in memory, nothing is
# written into them, and the rest of the agent works on.
LOCKED = {
    "Settings": ([SETTINGS_KEY], []),
    "Data": ([DATA_KEY], ["HEAD", "GET"]),
    "Settings and Data": ([SETTINGS_KEY, DATA_KEY], []),
}


@pytest.mark.parametrize("keys, methods", LOCKED.values(), ids=LOCKED.keys())
def test_keys_without_access(keys, methods, fault_server, key_locker, faults_agent, drive):
    fault_server.behaviour = news_reply("edition-7", ENTRIES, SERVER_MODIFIED)
    write_keys({SETTINGS_KEY: {**connection(fault_server), "pollingDelay": "10"},
                DATA_KEY: {**NEW_DATA, "epoch": "edition-1"}})
    before = {key: read_key(key) for key in keys}
    with key_locker.locked(keys):
        assert read_key(keys[0]) == {}
        run_agent(faults_agent, drive)
    assert fault_server.methods() == methods
    for key in keys:
        assert read_key(key) == before[key]
