#!/usr/bin/env bash
# Fails on any #include "folder/…" under src/ that the layer table in docs/ARCHITECTURE.md
# does not allow. Every folder may include itself; the table lists what else each may include.
# Usage: check_layers.sh SOURCE_DIR
set -euo pipefail
root="$1"
table="$root/docs/ARCHITECTURE.md"

# Rows of the table under "## Layers": | `src/x/` | `a`, `b` |
declare -A allowed
while IFS='|' read -r _ folder includes _; do
    folder="$(echo "$folder" | tr -d ' `')"
    allowed["$folder"]="$(echo "$includes" | tr -d ' `' | tr ',' ' ')"
done < <(sed -n '/^## Layers/,/^## /p' "$table" | grep '^| `src/')
[ ${#allowed[@]} -gt 0 ] || { echo "FAIL: no layer table in $table"; exit 1; }

bad=0
checked=0
while IFS= read -r file; do
    rel="${file#"$root"/}"
    if [ "$rel" = src/main.cpp ]; then
        layer=src/main.cpp
        own=""
    else
        own="$(echo "$rel" | cut -d/ -f2)"
        layer="src/$own/"
    fi
    if [ -z "${allowed[$layer]+set}" ]; then
        echo "FAIL: $rel is in $layer, which the layer table does not list"
        bad=$((bad + 1))
        continue
    fi
    while IFS= read -r target; do
        checked=$((checked + 1))
        [ "$target" = "$own" ] && continue
        case " ${allowed[$layer]} " in *" $target "*) continue ;; esac
        echo "FAIL: $rel includes $target/, which $layer may not include"
        bad=$((bad + 1))
    done < <(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)/.*|\1|p' "$file")
done < <(find "$root/src" -name '*.cpp' -o -name '*.h' | sort)

echo "layers: $((checked - bad)) passed, $bad failed"
[ "$bad" -eq 0 ]
