#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks what it depends on, its version
# and its hardening, and runs Debian's own checkers on it (lintian, appstreamcli,
# desktop-file-validate) where they are installed. (The install test checks the files.)
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

depends="$(dpkg-deb -f "$deb" Depends)"
for needed in libqscintilla2-qt6 libqt6widgets6 qt6-qpa-plugins; do
    grep -q "$needed" <<<"$depends" || fail "Depends does not name $needed: $depends"
done
root="$out/root"
dpkg-deb -x "$deb" "$root"
grep -qx "Path=/usr/share/ondrel" "$root/usr/share/applications/com.example.ondrel.desktop" ||
    fail "the packaged desktop entry does not start in /usr/share/ondrel"

# One version everywhere: the package's, the changelog's newest entry, the manual page and
# the AppStream release.
version="$(dpkg-deb -f "$deb" Version)"
grep -q "^ondrel ($version) " <<<"$(zcat "$root/usr/share/doc/ondrel/changelog.gz" | sed -n 1p)" ||
    fail "the changelog's newest entry is not version $version"
manual="$(zcat "$root/usr/share/man/man1/ondrel.1.gz")"
grep -q "^\.TH ONDREL 1 .*\"Ondrel $version\"" <<<"$manual" ||
    fail "the manual page does not name version $version"
metainfo="$root/usr/share/metainfo/com.example.ondrel.metainfo.xml"
grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the AppStream data's release is not version $version"

# Stripped, position-independent, read-only relocations bound at start, stack protector.
# (Each tool's output is read whole: grep -q stopping early would break the pipe.)
binary="$root/usr/bin/ondrel"
kind="$(file "$binary")"
grep -q "pie executable.*, stripped" <<<"$kind" || fail "not a stripped PIE: $kind"
grep -q GNU_RELRO <<<"$(readelf -lW "$binary")" || fail "no RELRO segment"
grep -q BIND_NOW <<<"$(readelf -dW "$binary")" || fail "relocations are not bound at start"
grep -q __stack_chk_fail <<<"$(nm -D "$binary")" || fail "built without the stack protector"

checked=()
if command -v desktop-file-validate >/dev/null; then
    for desktop in "$root"/usr/share/applications/*.desktop; do
        report="$(desktop-file-validate "$desktop" 2>&1)" || true
        [ -z "$report" ] || fail "desktop-file-validate $(basename "$desktop"): $report"
    done
    checked+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
    report="$(appstreamcli validate --no-net --explain "$metainfo" 2>&1)" ||
        fail "appstreamcli validate: $report"
    ! grep -qE "^(E|W):" <<<"$report" || fail "appstreamcli validate: $report"
    checked+=(appstreamcli)
fi
if command -v lintian >/dev/null; then
    report="$(lintian --fail-on error,warning "$deb" 2>&1)" || fail "lintian: $report"
    checked+=(lintian)
fi
echo "checked by: ${checked[*]:-no Debian checker (none installed)}"
echo "package dependencies, version, hardening and checks: 1 passed, 0 failed"
