#!/usr/bin/env bash
# Chooses the web browser of a Wine test prefix:
#   tools/register-test-browser.sh <prefix> recorder|ie|none|restore [<tools-bin-dir>]
# recorder  ".html" opens with zv-url-recorder.exe "%1" (it logs its command line)
# ie        "InternetExplorer.Application" is zv-fake-ie.dll, and ".html" names an iexplore
#           command, so pages go through automation
# none      no program is registered for ".html" (automation is used, as for ie)
# restore   ".html" unregistered and "InternetExplorer.Application" back to Wine's own
# <tools-bin-dir> holds the built tools; by default the tools folder of the cross build
# whose wine/prefix the prefix is (as tools/wine-env.sh makes it). Run it while the
# prefix's wineserver is up (inside tools/wine-env.sh) or let wine start one.
set -euo pipefail

[ $# -ge 2 ] || { sed -n '2,11p' "$0" >&2; exit 2; }
export WINEPREFIX=$(cd "$1" && pwd)
mode=$2
bin_dir=$(cd "${3:-$WINEPREFIX/../../tools}" && pwd)
export WINEDEBUG=-all

# Wine maps the host's root to drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

fake_clsid='{5A0C7E21-6B3D-4F1E-9C2A-7D8E4B1F0A36}'
wine_ie_clsid='{0002DF01-0000-0000-C000-000000000046}'

reg() { wine reg "$@" </dev/null >/dev/null; }

set_html_command() {
    reg add 'HKCR\.html' /ve /d "$1" /f
    reg add "HKCR\\$1\\shell\\open\\command" /ve /d "$2" /f
}

case "$mode" in
recorder)
    set_html_command ZvTestBrowser.html "\"$(windows_path "$bin_dir/zv-url-recorder.exe")\" \"%1\""
    ;;
ie)
    reg add "HKCR\\CLSID\\$fake_clsid\\InprocServer32" /ve /d "$(windows_path "$bin_dir/zv-fake-ie.dll")" /f
    reg add "HKCR\\CLSID\\$fake_clsid\\InprocServer32" /v ThreadingModel /d Apartment /f
    reg add 'HKCR\InternetExplorer.Application\CLSID' /ve /d "$fake_clsid" /f
    set_html_command ZvTestIE.html '"C:\Program Files\Internet Explorer\iexplore.exe" %1'
    ;;
none)
    wine reg delete 'HKCR\.html' /f </dev/null >/dev/null 2>&1 || true
    ;;
restore)
    wine reg delete 'HKCR\.html' /f </dev/null >/dev/null 2>&1 || true
    reg add 'HKCR\InternetExplorer.Application\CLSID' /ve /d "$wine_ie_clsid" /f
    wine reg delete "HKCR\\CLSID\\$fake_clsid" /f </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "register-test-browser: unknown mode $mode" >&2
    exit 2
    ;;
esac
