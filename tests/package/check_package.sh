#!/usr/bin/env bash
# Builds the Debian package of this build tree and checks what it holds and that it runs.
# On CI (root, CI=true) it also installs the package with apt-get and checks the installed files.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/corvane-monitor_*.deb)
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in openssh-client libqt6core6 libqt6widgets6 libqt6dbus6 libqcoro6core0; do
    [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/corvane-monitor ./usr/bin/corvane-monitor-check \
    ./usr/share/applications/corvane-monitor.desktop \
    ./usr/share/icons/hicolor/scalable/apps/corvane-monitor.svg \
    ./usr/share/icons/hicolor/48x48/apps/corvane-monitor.png \
    ./usr/share/corvane-monitor/remote-health-json; do
    grep -qF " $path" <<<"$contents" || fail "package lacks $path"
done

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/corvane-monitor.desktop"
"$work/root/usr/bin/corvane-monitor-check" --help | grep -q -- "--json" || fail "extracted check tool"

if [[ ${CI:-} == true && $(id -u) -eq 0 ]]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }
    /usr/bin/corvane-monitor-check --help | grep -q -- "--json" || fail "installed check tool"
    desktop-file-validate /usr/share/applications/corvane-monitor.desktop
    [[ -x /usr/share/corvane-monitor/remote-health-json ]] || fail "installed agent"
    apt-get remove -y -qq corvane-monitor >/dev/null 2>&1
    echo "installed, ran and removed the package"
fi
echo "package ok"
