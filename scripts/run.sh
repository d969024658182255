#!/usr/bin/env bash
# Installs what is missing, builds Ondrel (the default preset) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target ondrel -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display to show Ondrel on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "Run it on a virtual display instead:" >&2
    echo "    xvfb-run -a -s '-screen 0 1280x1024x24' $root/build/ondrel" >&2
    exit 1
fi
exec "$root/build/ondrel" "$@"
