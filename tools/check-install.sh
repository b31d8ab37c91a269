#!/usr/bin/env bash
# Checks what an installation and the Debian package hold, on a build folder
# that is already built (test.sh's release build, which has Debian's hardening
# flags): the desktop entry, the battle file type and the AppStream metadata
# validate, an install into a staging folder puts every file in its place, the
# programs there answer --version and --help without a display, the manual pages format
# without warnings, and `cpack -G DEB` builds a package with the same files
# that lintian passes without an error or a warning.
# Usage: tools/check-install.sh [build folder]
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
games/varnholt
games/varnholt-odds
share/applications/$id.desktop
share/doc/varnholt/changelog.gz
share/doc/varnholt/copyright
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man6/varnholt-odds.6.gz
share/man/man6/varnholt.6.gz
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml
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
for p in games/varnholt games/varnholt-odds; do
  answer="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$stage/usr/$p" --version)"
  p="${p#*/}"
  [ "$answer" = "$p $version" ] || fail "$p --version says '$answer', expected '$p $version'"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$stage/usr/games/$p" --help | grep -q "^Usage: $p" ||
    fail "$p --help prints no usage"
done

echo "== Desktop entry and AppStream metadata"
desktop-file-validate "$stage/usr/share/applications/$id.desktop"
appstreamcli validate --no-net --strict "$stage/usr/share/metainfo/$id.metainfo.xml"
# The newest release listed is the one being built.
release="$(grep -o -m1 '<release version="[^"]*"' "$stage/usr/share/metainfo/$id.metainfo.xml" | cut -d'"' -f2)"
[ "$release" = "$version" ] || fail "the metainfo's newest release is '$release', the project version '$version'"

echo "== Battle file type"
# The type database built from the staged package file alone: it must parse,
# give *.vbattle the battle type, and the desktop entry must open that type.
share="$PWD/$build/mime-check"
mime="$share/mime"
rm -rf "$share"
mkdir -p "$mime/packages"
cp "$stage/usr/share/mime/packages/$id.xml" "$mime/packages/"
errors="$(XDG_DATA_HOME="$share" XDG_DATA_DIRS="$share" update-mime-database "$mime" 2>&1)"
[ -z "$errors" ] || fail "update-mime-database: $errors"
grep -q '^[0-9]*:application/x-varnholt-battle:\*\.vbattle$' "$mime/globs2" ||
  fail "the type database has no *.vbattle glob for application/x-varnholt-battle"
grep -q '^[0-9]*:application/x-varnholt-turn:\*\.vturn$' "$mime/globs2" ||
  fail "the type database has no *.vturn glob for application/x-varnholt-turn"
grep -qx 'MimeType=application/x-varnholt-battle;application/x-varnholt-turn;' "$stage/usr/share/applications/$id.desktop" ||
  fail "the desktop entry does not list application/x-varnholt-battle and application/x-varnholt-turn"
# The program by its full path: a desktop's PATH may lack /usr/games.
grep -q '^Exec=/usr/games/varnholt %f$' "$stage/usr/share/applications/$id.desktop" ||
  fail "the desktop entry's Exec is not '/usr/games/varnholt %f'"

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

echo "== lintian"
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings on $deb"
# Informational only to lintian, but a package of this project is built hardened.
hardening="$(lintian -I --tags hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-relro "$deb" 2>/dev/null)"
[ -z "$hardening" ] || fail "$hardening"
echo "check-install: all checks passed"
