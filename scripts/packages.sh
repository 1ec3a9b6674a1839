#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need; quick when all are present.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config clang-format
    # packaging: library dependencies of the .deb, desktop entry check
    dpkg-dev desktop-file-utils
    qt6-base-dev qcoro-qt6-dev qt6-svg-dev
    # tests: real ssh server and client, a temp home for ssh, a private session bus
    openssh-server openssh-client libnss-wrapper dbus python3 python3-dbus python3-gi
    # fuzzing the decoders (libFuzzer)
    clang libclang-rt-14-dev
    # tests of the desktop shell
    xvfb xauth trayer xdotool
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
