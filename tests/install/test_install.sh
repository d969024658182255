#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout a desktop expects and starts
# the installed program, without a display for --version and --help, then on a virtual display
# until its main window is up. (The package test runs Debian's checkers on the same files.)
# Usage: test_install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/ondrel share/ondrel/help/help.hlp \
    share/applications/com.example.ondrel.desktop share/applications/ondrel.desktop \
    share/metainfo/com.example.ondrel.metainfo.xml share/icons/hicolor/scalable/apps/ondrel.svg \
    share/man/man1/ondrel.1.gz share/doc/ondrel/copyright share/doc/ondrel/changelog.gz; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 32 48 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/ondrel.png"
    [ -f "$icon" ] || fail "no ${size}px icon"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "$icon is not ${size}x${size}"
done
[ -x "$prefix/bin/ondrel" ] || fail "bin/ondrel is not executable"
[ "$(find "$prefix/bin" -type f | wc -l)" -eq 1 ] || fail "more than the program went to bin/"

# The entry and its hidden alias under the earlier name both start Ondrel in its share folder.
for desktop in "$prefix"/share/applications/{com.example.ondrel,ondrel}.desktop; do
    grep -qx "Exec=ondrel %f" "$desktop" || fail "$desktop: Exec does not pass the file to ondrel"
    grep -qx "Path=$prefix/share/ondrel" "$desktop" || fail "$desktop: Path is not the share folder"
done
grep -qx "NoDisplay=true" "$prefix/share/applications/ondrel.desktop" ||
    fail "the entry under the earlier name shows in menus beside the new one"
grep -q "text/x-perl" "$prefix/share/applications/com.example.ondrel.desktop" ||
    fail "no Perl MIME type"

# --version and --help are answered with no display at all.
bare=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=C.UTF-8 "$prefix/bin/ondrel")
answer="$("${bare[@]}" --version)" || fail "--version without a display failed"
[[ "$answer" == "Ondrel 1."* ]] || fail "--version printed: $answer"
answer="$("${bare[@]}" --help)" || fail "--help without a display failed"
[[ "$answer" == "使い方: ondrel [オプション] [--] [ファイル…]"$'\n'* ]] || fail "--help printed: $answer"

# The installed program, started as the launcher would (in its share folder), comes up
# behind its splash with the fresh document's title.
mkdir -p "$prefix/home"
cat >"$prefix/run.sh" <<RUN
cd "$prefix/share/ondrel"
env -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME \
    HOME="$prefix/home" LC_ALL=C.UTF-8 "$prefix/bin/ondrel" &
timeout 15 xdotool search --sync --onlyvisible --name '^Ondrel \[project\]\$' >/dev/null 2>&1
shown=\$?
kill \$!
exit \$shown
RUN
xvfb-run -a -s "-screen 0 1024x768x24" bash "$prefix/run.sh" ||
    fail "the installed program showed no window titled \"Ondrel [project]\" within 15 s"
echo "installed layout, desktop entries, answers without a display and start-up: 1 passed, 0 failed"
