#!/usr/bin/env bash
# Checks what an installation and the Debian package hold, on a build folder
# that is already built (test.sh's release build): the desktop entry and the
# AppStream metadata validate, an install into a staging folder puts every file
# in its place, the programs there answer --version without a display, the
# manual pages format without warnings, and `cpack -G DEB` builds a package
# with the same files. Usage: tools/check-install.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
id=io.github.varnholt.CombatSimulator

fail() {
  echo "check-install: $*" >&2
  exit 1
}

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

# Every file an installation holds, under the prefix.
expected="$(sort <<EOF
bin/varnholt
bin/varnholt-odds
share/applications/$id.desktop
share/doc/varnholt/copyright
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/varnholt-odds.1.gz
share/man/man6/varnholt.6.gz
share/metainfo/$id.metainfo.xml
EOF
)"

same_files() {  # what, actual list, expected list
  if [ "$2" != "$3" ]; then
    diff <(echo "$3") <(echo "$2") >&2 || true
    fail "$1 differs from the expected files (- missing, + unexpected)"
  fi
}

echo "== Staged install"
stage="$build/stage"
rm -rf "$stage"
DESTDIR="$PWD/$stage" cmake --install "$build" --prefix /usr >/dev/null
same_files "the staged install" "$(cd "$stage/usr" && find . -type f | sed 's|^\./||' | sort)" "$expected"
for p in varnholt varnholt-odds; do
  answer="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$stage/usr/bin/$p" --version)"
  [ "$answer" = "$p $version" ] || fail "$p --version says '$answer', expected '$p $version'"
done

echo "== Desktop entry and AppStream metadata"
desktop-file-validate "$stage/usr/share/applications/$id.desktop"
appstreamcli validate --no-net --strict "$stage/usr/share/metainfo/$id.metainfo.xml"
# The newest release listed is the one being built.
release="$(grep -o -m1 '<release version="[^"]*"' "$stage/usr/share/metainfo/$id.metainfo.xml" | cut -d'"' -f2)"
[ "$release" = "$version" ] || fail "the metainfo's newest release is '$release', the project version '$version'"

echo "== Manual pages"
for page in "$stage"/usr/share/man/man*/*.gz; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "$page: $warnings"
done

echo "== Debian package"
rm -f "$build"/varnholt_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/varnholt_"$version"_*.deb)"
same_files "$deb" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | sort)" "$expected"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = varnholt ] || fail "package name '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "package version '$(field Version)'"
[ "$(field Section)" = games ] || fail "package section '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
for dep in libqt6widgets6 libqt6svg6 libc6; do
  field Depends | grep -q "\b$dep\b" || fail "Depends lacks $dep: $(field Depends)"
done
echo "$deb: $(field Depends)"
echo "check-install: all checks passed"
