#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks what it holds and what it
# depends on.
# Usage: test_package.sh BUILD_DIR
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; fail "cpack did not build the package"; }
deb="$(find "$out" -maxdepth 1 -name 'ondrel_*.deb' | head -n 1)"
[ -n "$deb" ] || fail "no ondrel_*.deb in the cpack output"

contents="$(dpkg-deb -c "$deb")"
for file in ./usr/bin/ondrel ./usr/share/ondrel/help/help.hlp \
    ./usr/share/applications/ondrel.desktop ./usr/share/metainfo/ondrel.metainfo.xml \
    ./usr/share/icons/hicolor/48x48/apps/ondrel.png \
    ./usr/share/icons/hicolor/scalable/apps/ondrel.svg; do
    grep -q " $file\$" <<<"$contents" || fail "$file is not in the package"
done
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in libqscintilla2-qt6 libqt6widgets6 qt6-qpa-plugins; do
    grep -q "$needed" <<<"$depends" || fail "Depends does not name $needed: $depends"
done
dpkg-deb -x "$deb" "$out/root"
grep -qx "Path=/usr/share/ondrel" "$out/root/usr/share/applications/ondrel.desktop" ||
    fail "the packaged desktop entry does not start in /usr/share/ondrel"
echo "package contents and dependencies: 1 passed, 0 failed"
