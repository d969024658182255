#!/usr/bin/env bash
# Installs what is missing, builds Ondrel and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target ondrel -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display to show Ondrel on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "Run it on a virtual display instead:" >&2
    echo "    xvfb-run -a -s '-screen 0 1280x1024x24' $root/build/ondrel" >&2
    exit 1
fi
cd "$root"
exec "$root/build/ondrel"
