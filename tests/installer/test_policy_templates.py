"""The build's check of the Group Policy templates: it passes the templates as they are, and
each row below breaks them in one way that the policy editor or the agent would not take."""

import pathlib
import subprocess
import sys

import pytest

from agent_contract import POLICY_VALUES, REG_POLICY_KEY

REPO_DIR = pathlib.Path(__file__).resolve().parents[2]
CHECKER = REPO_DIR / "tools" / "check-policy-templates.py"
ADMX = REPO_DIR / "installer" / "policy" / "ZavoraAgent.admx"
ADML = REPO_DIR / "installer" / "policy" / "en-US" / "ZavoraAgent.adml"


def check(tmp_path, admx_text, adml_text, names=POLICY_VALUES):
    admx = tmp_path / "src" / ADMX.name
    adml = tmp_path / "src" / ADML.name
    admx.parent.mkdir(exist_ok=True)
    admx.write_text(admx_text, encoding="utf-8")
    adml.write_text(adml_text, encoding="utf-8")
    result = subprocess.run(
        [sys.executable, str(CHECKER), "--key", REG_POLICY_KEY, "--names", names,
         "--admx", str(admx), "--adml", str(adml), "--out", str(tmp_path / "out")],
        capture_output=True, text=True, check=False)
    return result.returncode, result.stderr


def test_the_templates_pass_and_are_copied(tmp_path):
    code, errors = check(tmp_path, ADMX.read_text(encoding="utf-8"),
                         ADML.read_text(encoding="utf-8"))
    assert (code, errors) == (0, "")
    assert (tmp_path / "out" / ADMX.name).read_bytes() == ADMX.read_bytes()
    assert (tmp_path / "out" / "en-US" / ADML.name).read_bytes() == ADML.read_bytes()


# Each row: which file is changed, the text replaced once and its replacement, and what the
# check must say.
BROKEN = {
    "not well-formed": ("admx", "</policies>", "</policy>", "not well-formed"),
    "a name the agent does not read": (
        "admx", 'valueName="urlHost"', 'valueName="urlHots"', "'urlHots' is written"),
    "another key": ("admx", r'Agent" valueName="useProxy"', r'Agnet" valueName="useProxy"',
                    "not the agent's policy key"),
    "a number stored as a DWORD": ("admx", 'storeAsText="true"', 'storeAsText="false"',
                                   "stored as text"),
    "a switch written as a DWORD": ("admx", "<enabledValue><string>1</string>",
                                    '<enabledValue><decimal value="1" />', "holds decimal"),
    "a missing string": ("adml", '<string id="Popup">', '<string id="Popup2">',
                         "no string 'Popup'"),
    "an element without a control": ("adml", '<decimalTextBox refId="Proxy_Port"',
                                     '<decimalTextBox refId="Proxy_Prot"', "'Proxy_Port' has 0"),
    "an undefined supported-on text": ("admx", '<supportedOn ref="SUPPORTED_ZavoraAgent_1_4" />',
                                       '<supportedOn ref="SUPPORTED_Windows7" />',
                                       "no defined supported-on"),
}


@pytest.mark.parametrize("which, old, new, message", BROKEN.values(), ids=BROKEN.keys())
def test_a_broken_template_fails_the_check(tmp_path, which, old, new, message):
    texts = {"admx": ADMX.read_text(encoding="utf-8"), "adml": ADML.read_text(encoding="utf-8")}
    assert old in texts[which]
    texts[which] = texts[which].replace(old, new, 1)
    code, errors = check(tmp_path, texts["admx"], texts["adml"])
    assert code == 1
    assert message in errors
    assert not (tmp_path / "out").exists()


def test_a_setting_no_policy_sets_fails_the_check(tmp_path):
    code, errors = check(tmp_path, ADMX.read_text(encoding="utf-8"),
                         ADML.read_text(encoding="utf-8"), POLICY_VALUES + " newSetting")
    assert code == 1
    assert "no policy sets 'newSetting'" in errors
