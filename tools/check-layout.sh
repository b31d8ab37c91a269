#!/usr/bin/env bash
# The layout's one rule that the compiler does not check: no folder includes
# from a folder that includes from it, and no source file grows past about 500
# lines. Prints each breach and exits 1; prints one line and exits 0 otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
folder() { local d; d=$(dirname "$1"); case "$d" in engine/*) echo "$d" ;; *) echo "${d%%/*}" ;; esac; }
edges=$(git ls-files '*.h' '*.cpp' | grep -v -E '^(tests|bench)/' | while read -r f; do
  from=$(folder "$f")
  { grep -o -E '^#include "[^"]+/[^"]+"' "$f" || true; } | sed -E 's/^#include "(.*)"/\1/' | while read -r inc; do
    [ -e "$inc" ] || continue
    to=$(folder "$inc")
    [ "$from" != "$to" ] && echo "$from $to"
  done
done | sort -u)
bad=0
while read -r a b; do
  [ -z "$a" ] && continue
  if grep -qx "$b $a" <<<"$edges" && [[ "$a" < "$b" ]]; then
    echo "check-layout: $a and $b include each other"
    bad=1
  fi
done <<<"$edges"
while read -r n f; do
  [ "$f" = total ] && continue
  if [ "$n" -gt 550 ]; then echo "check-layout: $f has $n lines"; bad=1; fi
done < <(git ls-files '*.h' '*.cpp' | xargs wc -l)
[ "$bad" = 0 ] && echo "check-layout: $(wc -l <<<"$edges") folder includes, none both ways"
exit "$bad"
