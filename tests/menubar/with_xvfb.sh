#!/usr/bin/env bash
# Runs a command on a private X server, with or without a system tray, on a private session bus.
# Usage: with_xvfb.sh --tray|--no-tray command...
set -euo pipefail
mode=$1
shift
for tool in Xvfb dbus-run-session xdotool; do
    command -v "$tool" >/dev/null || { echo "with_xvfb: $tool is missing" >&2; exit 1; }
done
if [[ $mode == --tray ]]; then
    command -v trayer >/dev/null || { echo "with_xvfb: trayer is missing" >&2; exit 1; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-xvfb.XXXXXX")
xvfb_pid=""
tray_pid=""
cleanup() {
    [[ -n $tray_pid ]] && kill "$tray_pid" 2>/dev/null || true
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
    sleep 0.05
done
export DISPLAY=":$(head -n1 "$work/display")"

if [[ $mode == --tray ]]; then
    # A tray along the top edge, like a panel with a notification area.
    trayer --edge top --align right --widthtype pixel --width 200 --height 28 \
        --SetDockType true --expand false >"$work/trayer.log" 2>&1 &
    tray_pid=$!
    for _ in $(seq 100); do
        xdotool search --class trayer >/dev/null 2>&1 && break
        kill -0 "$tray_pid" 2>/dev/null || { cat "$work/trayer.log" >&2; exit 1; }
        sleep 0.05
    done
    export CORVANE_EXPECT_TRAY=1
else
    export CORVANE_EXPECT_TRAY=0
fi
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work"
dbus-run-session -- "$@"
