#!/usr/bin/env bash
# Installs, through apt-get, only the Debian packages that are not there yet.
# Runs as root, or through sudo when not root.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libqscintilla2-qt6-dev qt6-translations-l10n
    xvfb xauth fonts-noto-cjk
    xdotool xclip imagemagick
    poppler-utils
    libbenchmark-dev
    clang libclang-rt-14-dev
    desktop-file-utils appstream-util
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
else
    echo "error: need root or sudo to install: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
