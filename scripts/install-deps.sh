#!/usr/bin/env bash
# Installs, through apt-get, only the Debian packages that are not there yet: everything the
# README's commands, the benchmarks and the package build use. Runs as root, or through sudo
# when not root. Once it has run, ONDREL_DEPS_CHECKED=1 in the environment skips it, so the
# scripts that call each other check once per run.
set -euo pipefail
[ "${ONDREL_DEPS_CHECKED:-}" = 1 ] && exit 0

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libqscintilla2-qt6-dev qt6-translations-l10n libicu-dev
    xvfb xauth fonts-noto-cjk
    xdotool xclip imagemagick
    poppler-utils
    libbenchmark-dev
    clang libclang-rt-14-dev
    desktop-file-utils appstream lintian
    file dpkg-dev binutils
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
