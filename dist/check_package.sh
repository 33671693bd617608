#!/usr/bin/env bash
# Builds the Debian package with CPack and inspects it with dpkg-deb: its name, version, section, description,
# maintainer and homepage, dependencies (msgfmt's gettext and the Qt and GLib libraries the programs link), files and
# changelog; then lintian, whose errors and warnings fail it, as do its notes on hardening and stripping.
# Usage: check_package.sh BUILD_FOLDER APP_ID VERSION
set -uo pipefail
build=$1
id=$2
version=$3

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log"
    echo "FAIL: cpack"
    exit 1
}
deb=$(ls "$out"/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: cpack made no .deb"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillmark ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Section)" = devel ] || fail "Section is '$(field Section)'"
[ -n "$(field Description)" ] || fail "no Description"
[ "$(field Homepage)" = https://github.com/velloran/quillmark ] || fail "Homepage is '$(field Homepage)'"
[ "$(field Maintainer)" = "Velloran <velloran@users.noreply.github.com>" ] || fail "Maintainer is '$(field Maintainer)'"
depends=$(field Depends)
for package in gettext libqt6core6 libqt6gui6 libqt6widgets6 libglib2.0-0 libc6 libstdc++6; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$package" || fail "Depends lacks $package: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in ./usr/bin/quillmark ./usr/bin/quillmark-report "./usr/share/applications/$id.desktop" \
    "./usr/share/metainfo/$id.metainfo.xml" "./usr/share/icons/hicolor/48x48/apps/$id.png" \
    ./usr/share/man/man1/quillmark.1.gz ./usr/share/man/man1/quillmark-report.1.gz ./usr/share/doc/quillmark/copyright \
    ./usr/share/doc/quillmark/changelog.gz; do
    echo "$files" | grep -qxF "$file" || fail "the package lacks $file"
done
echo "$files" | grep -E '_tests$|testchild|e2e|bench|icon-render' && fail "the package holds test or build programs"
changelog=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/quillmark/changelog.gz | zcat |
    dpkg-parsechangelog -l - -S Version)
[ "$changelog" = "$version" ] || fail "the changelog's latest entry is version '$changelog', not $version"

lintian --pedantic --display-info --fail-on error,warning "$deb" >"$out/lintian.log" 2>&1 || fail "lintian"
grep -E '^[EWIP]: ' "$out/lintian.log"
grep -E '^I: .*(hardening-|binary-has-unneeded-section)' "$out/lintian.log" >/dev/null && fail "lintian: hardening or strip"

[ "$failures" -eq 0 ] && echo "package checked: $(basename "$deb"), Depends: $depends"
[ "$failures" -eq 0 ]
