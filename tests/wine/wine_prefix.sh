#!/bin/sh
# The Wine prefix the Windows tests run in: made once, inside the build folder, never the
# user's own. It gets a second drive, T:, for the tests that change drives. Its server runs
# from "prepare" to "stop".
# Usage: wine_prefix.sh prepare|stop WINE64 WINESERVER PREFIX DRIVE-T-FOLDER
set -eu
action=$1 wine=$2 wineserver=$3 prefix=$4 drive=$5
export WINEPREFIX="$prefix"
. "$(dirname "$0")/environment.sh"

case "$action" in
  prepare)
    if [ ! -f "$prefix/system.reg" ]; then
      "$wine" wineboot --init
      "$wineserver" --wait
    fi
    # Headless, Wine's null display driver draws the windows nowhere: windows can then be
    # made and driven through their messages without an X server.
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    # Wine's own faces (fonts-wine: Tahoma, MS Sans Serif), which this Wine does not look
    # for where Debian puts them, so that text is measured in the faces Windows has.
    cp -n /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    # Programs started so far keep the driver they began with.
    "$wineserver" --kill 2>/dev/null || true
    "$wineserver" --wait 2>/dev/null || true
    mkdir -p "$drive"
    ln -sfn "$drive" "$prefix/dosdevices/t:"
    # One server for every test: a Wine start then costs a fraction of a second, not seconds.
    # It and Wine's own background programs start here, away from any test's output, which
    # CTest would otherwise wait on until they end.
    "$wineserver" --persistent </dev/null >/dev/null 2>&1
    "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1
    ;;
  stop)
    # Ends any program a test left running, and the server itself: nothing outlives the tests.
    "$wineserver" --kill || true
    ;;
  *)
    echo "usage: $0 prepare|stop WINE64 WINESERVER PREFIX DRIVE-T-FOLDER" >&2
    exit 2
    ;;
esac
