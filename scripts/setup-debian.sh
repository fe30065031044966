#!/usr/bin/env bash
# Installs the Debian packages Feedrail needs to build, and any further
# packages named as arguments (the tests name theirs). Fast when they are all
# there already: apt runs only for what is missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libcpp-httplib-dev qt6-base-dev qt6-serialport-dev
          libqscintilla2-qt6-dev
          qt6-qpa-plugins libqt6svg6 fonts-liberation chromium "$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
