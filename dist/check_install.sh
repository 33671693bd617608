#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a Debian system read from it: every
# file in place, the desktop entry and the AppStream metadata valid, the project's id, addresses and licence in
# every file that states them and no placeholder domain in any, the manual pages free of warnings, the icons
# real PNG files of their sizes, both programs answering --version without a display, and quillmark saying
# that it needs one.
# Usage: check_install.sh BUILD_FOLDER APP_ID VERSION LICENSE ICON_SIZE...
set -uo pipefail
build=$1
id=$2
version=$3
license=$4
shift 4
sizes=("$@")

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

share=$prefix/share
expected=(bin/quillmark bin/quillmark-report "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
    share/man/man1/quillmark.1.gz share/man/man1/quillmark-report.1.gz share/doc/quillmark/copyright share/doc/quillmark/changelog.gz)
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done

out=$(desktop-file-validate "$share/applications/$id.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net --pedantic "$share/metainfo/$id.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $out"

# What a desktop reads from the entry: its program, installed beside it, and the icon under the entry's id.
entry_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$share/applications/$id.desktop")
[ -n "$entry_program" ] && [ -x "$prefix/bin/$entry_program" ] ||
    fail "the desktop entry's Exec names '$entry_program', which is not installed"
grep -qx "Icon=$id" "$share/applications/$id.desktop" || fail "the desktop entry's Icon is not $id"

home=https://github.com/velloran/quillmark
appstream=(/component/id "$id" "/component/launchable[@type='desktop-id']" "$id.desktop"
    /component/project_license "$license" "/component/url[@type='homepage']" "$home"
    "/component/url[@type='bugtracker']" "$home/issues" "/component/url[@type='vcs-browser']" "$home"
    /component/screenshots/screenshot/image "https://raw.githubusercontent.com/velloran/quillmark/main/docs/catalog.png")
for ((i = 0; i < ${#appstream[@]}; i += 2)); do
    value=$(xmllint --xpath "string(${appstream[i]})" "$share/metainfo/$id.metainfo.xml")
    [ "$value" = "${appstream[i + 1]}" ] || fail "AppStream ${appstream[i]} is '$value', not '${appstream[i + 1]}'"
done
# Text of an installed file, compressed or not. Its readers read it whole (no grep -q): an early end would
# break the pipe, and pipefail would turn a match into a failure.
text() { case $1 in *.gz) zcat "$1" ;; *) cat "$1" ;; esac; }
addresses=(bin/quillmark "$home" share/man/man1/quillmark.1.gz "$home/issues"
    share/man/man1/quillmark-report.1.gz "$home/issues" share/doc/quillmark/copyright "Source: $home"
    share/doc/quillmark/copyright "License: GPL-3.0+")
for ((i = 0; i < ${#addresses[@]}; i += 2)); do
    text "$prefix/${addresses[i]}" | grep -aF "${addresses[i + 1]}" >/dev/null ||
        fail "${addresses[i]} lacks '${addresses[i + 1]}'"
done
while IFS= read -r -d '' file; do
    text "$file" | grep -aiE 'example\.(org|com)' >/dev/null && fail "${file#"$prefix"/} names a placeholder domain"
done < <(find "$prefix" -type f -print0)

for page in quillmark quillmark-report; do
    file=$share/man/man1/$page.1.gz
    out=$(zcat "$file" | groff -ww -man -z 2>&1)
    [ -z "$out" ] || fail "groff warns about $page.1: $out"
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man -l $page.1: $out"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "^EXIT STATUS" || fail "$page.1 has no EXIT STATUS"
done

# A PNG file starts with its signature, then the IHDR chunk with the width and height as 32-bit big-endian.
for size in "${sizes[@]}"; do
    file=$share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$file" ] || continue
    signature=$(od -An -tx1 -N8 "$file" | tr -d ' \n')
    [ "$signature" = 89504e470d0a1a0a ] || fail "$file is not a PNG file"
    dimensions=$(od -An -tu1 -j16 -N8 "$file" | awk '{ print $1*16777216 + $2*65536 + $3*256 + $4 "x" $5*16777216 + $6*65536 + $7*256 + $8 }')
    [ "$dimensions" = "${size}x${size}" ] || fail "$file is $dimensions, not ${size}x${size}"
done

for program in quillmark quillmark-report; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version 2>&1)
    [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
done
# Without a screen Qt would abort; quillmark says what to use instead, in one line.
for display in "-u DISPLAY" "DISPLAY=" "-u DISPLAY QT_QPA_PLATFORM=xcb"; do
    # shellcheck disable=SC2086 # the case is a list of env arguments
    out=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $display "$prefix/bin/quillmark" 2>&1)
    status=$?
    [ "$status" -eq 1 ] && [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] &&
        [[ $out == *"graphical session"*quillmark-report*xvfb-run* ]] ||
        fail "quillmark without a display ($display) exited $status: $out"
done
# The installed report checks a file with msgfmt.
printf 'msgid ""\nmsgstr "Content-Type: text/plain; charset=UTF-8\\n"\n\nmsgid "a"\nmsgstr "b"\n' >"$prefix/de.po"
out=$("$prefix/bin/quillmark-report" --format tsv "$prefix" 2>&1)
[ "$(printf '%s\n' "$out" | sed -n 2p)" = "$(printf 'de.po\t100%%\t1\t1\t0\t0\t0')" ] ||
    fail "the installed quillmark-report did not check a file: $out"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/quillmark" --help | grep -q "^Usage: quillmark" ||
    fail "quillmark --help prints no usage"

[ "$failures" -eq 0 ] && echo "install checked: ${#expected[@]} files"
[ "$failures" -eq 0 ]
