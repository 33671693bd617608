#!/usr/bin/env bash
# End-to-end test: the real quillmark on a real X server (Xvfb) with the real msgfmt and a settings folder of its
# own, driven from outside as a person would, with xdotool: mouse clicks on the controls' places, key presses and
# typing. Results are read from the screen (screenshots), the clipboard (text copied out of the window with
# Ctrl+C) and the settings file.
#   1. started with a PO file with errors, the single-file memo shows msgfmt's lines, each once;
#   2. a folder of PO files typed into the folder box and Enter pressed fills the list with the bar colours of
#      translated and untranslated messages and the error bar;
#   3. the preferences opened, the slider moved two steps with the keyboard and Continue clicked, then Close:
#      the settings file holds the folder, its history and the new position;
#   4. started again, the folder box shows the stored folder; the folder tree opened with "..", the next folder
#      chosen with the keyboard and double-clicked reads that folder; Close saves it first in the history;
#   5. started again at a 16-point interface font with a folder, named relative to the working folder and not in
#      UTF-8, the list shows that folder's files: a screenshot at that font.
# The window is centred on the screen and laid out at the design font, so the controls' places are the design's.
# Usage: run_e2e.sh <quillmark> <e2e_check> <output folder> <corpus folder>
set -uo pipefail
quillmark=$1
check=$2
out=$3
corpus=$4

for tool in Xvfb xdotool xclip; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing"; exit 1; }
done

work=$(mktemp -d)
xserver=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$xserver" ] && kill "$xserver" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/config" "$work/runtime" "$work/single" "$work/po folder" "$work/q tree folder" "$out"
chmod 700 "$work/runtime"
cp "$corpus/thunar/broken/de-missing-quote.po" "$work/single/"
for file in am.po de.po si.po broken/de-format-mismatch.po; do
    cp "$corpus/thunar/$file" "$work/po folder/"
done
cp "$corpus/thunar/ar.po" "$corpus/thunar/fr.po" "$corpus/thunar/ja.po" "$work/q tree folder/"
folder="$work/po folder"
# Named to come right after the other folder in the tree.
treefolder="$work/q tree folder"
settings="$work/config/Velloran/Quillmark/settings.json"

failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# A 24-bit screen, so that the bar colours reach the screenshots unchanged; the server picks a free display.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xserver=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"

# LANGUAGE is dropped so that the single-file page's msgfmt speaks English whatever the machine's language. The X
# server comes without a session bus; without this, libdbus tries to start one, fails, and keeps the error text for
# good (a leak to LeakSanitizer).
start() {
    env -u LANGUAGE LC_ALL=C.UTF-8 XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS=disabled: "$quillmark" "$@" >>"$work/quillmark.log" 2>&1 &
    app=$!
    local window
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Quillmark' | head -n 1)
    [ -n "$window" ] || { echo "FAIL: no window"; cat "$work/quillmark.log"; exit 1; }
    eval "$(xdotool getwindowgeometry --shell "$window")"
    left=$X
    top=$Y
}

# click X Y [count]: clicks at a place of the window's client area.
click() {
    xdotool mousemove $((left + $1)) $((top + $2)) sleep 0.05 click --repeat "${3:-1}" --delay 80 1
    sleep 0.2
}

# The design's places in the client area at the design font.
catalog_tab=(54 17)
folder_box=(260 47)
tree_button=(617 47)
preferences=(55 369)
close_button=(585 369)
memo=(320 200)
slider_thumb=(434 215)
continue_button=(165 259)

# copied_text X Y: the whole text of the box at that place, as Ctrl+A and Ctrl+C copy it.
copied_text() {
    click "$1" "$2"
    xdotool key ctrl+a ctrl+c
    sleep 0.2
    xclip -o -selection clipboard 2>/dev/null
}

# finish: closes the window with its Close button and waits for the program to end.
finish() {
    click "${close_button[@]}"
    local status=0
    for _ in $(seq 300); do
        kill -0 "$app" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$app" 2>/dev/null; then
        fail "the program did not end at Close"
        kill "$app"
    fi
    wait "$app" || status=$?
    app=""
    [ "$status" -eq 0 ] || fail "quillmark ended with status $status"
}

# Translated, untranslated and the error bar.
bars=('#9BD630' '#9BA38B' '#B31F0F')

echo "--- first run: the single-file page"
start "$work/single/de-missing-quote.po"
memo_text=""
for _ in $(seq 50); do
    memo_text=$(copied_text "${memo[@]}")
    grep -qF "found 1 fatal error" <<<"$memo_text" && break
    sleep 0.2
done
echo "$memo_text"
grep -qF "$work/single/de-missing-quote.po:42: end-of-line within string" <<<"$memo_text" ||
    fail "the memo lacks msgfmt's error line"
[ "$(grep -cF "found 1 fatal error" <<<"$memo_text")" -eq 1 ] || fail "the memo does not show msgfmt's summary once"

echo "--- the catalog of a typed folder"
click "${catalog_tab[@]}"
click "${folder_box[@]}"
xdotool key ctrl+a
xdotool type --delay 5 "$folder"
xdotool key Return
"$check" grab "$out/screenshot.png" 60 "${bars[@]}" || fail "the list did not show the bars"
echo "E2E screenshot: $out/screenshot.png"
# The window alone, as the README shows it.
"$check" crop "$out/screenshot.png" "$out/catalog.png" "$left" "$top" "$WIDTH" "$HEIGHT" || fail "cannot cut out the window"

echo "--- the preferences"
click "${preferences[@]}"
click "${slider_thumb[@]}"
xdotool key Right Right
click "${continue_button[@]}"
finish
echo "--- settings after the first run"
"$check" settings "$settings" "LastDir=$folder" "Dir1=$folder" "Ratio:=5" ||
    fail "the folder, its history or the slider's position was not saved"

echo "--- second run: the folder tree"
start
shown=$(copied_text "${folder_box[@]}")
[ "$shown" = "$folder" ] || fail "the folder box shows '$shown', not the stored folder"
click "${tree_button[@]}"
# The tree opens on the shown folder, selected; the tree folder is the next one down.
highlight='#308CC6'
if selected=$("$check" find "$highlight" "$left" "$top" $((left + 150)) $((top + 386))); then
    read -r x y width height <<<"$selected"
    xdotool mousemove $((x + width / 2)) $((y + height / 2)) sleep 0.1 click 1
    xdotool key Down
    sleep 0.3
    if selected=$("$check" find "$highlight" "$left" "$top" $((left + 150)) $((top + 386))); then
        read -r x y width height <<<"$selected"
        xdotool mousemove $((x + width / 2)) $((y + height / 2)) sleep 0.1 click --repeat 2 --delay 80 1
    else
        fail "no selected folder after the Down key"
    fi
else
    fail "the folder tree shows no selected folder"
fi
"$check" grab "$out/screenshot2.png" 60 "${bars[0]}" "${bars[1]}" || fail "the tree folder's list did not show"
echo "E2E screenshot: $out/screenshot2.png"
finish
echo "--- settings after the second run"
"$check" settings "$settings" "LastDir=$treefolder" "Dir1=$treefolder" "Dir2=$folder" "Ratio:=5" ||
    fail "the folder read from the tree was not saved"

echo "--- third run: a 16-point interface font, a folder named on the command line"
"$check" set "$settings" "FontSize:=16" || fail "cannot set the font size"
# The first folder again, under a name that is not UTF-8 (Latin-1 "po é").
ln -s "po folder" "$work/po "$'\xe9'
cd "$work" || exit 1
start "po "$'\xe9'
"$check" grab "$out/screenshot-16pt.png" 60 "${bars[@]}" || fail "the folder did not show at 16 points"
echo "E2E screenshot: $out/screenshot-16pt.png"
kill "$app"
wait "$app"
app=""

[ "$failed" -eq 0 ] && echo "e2e passed"
exit "$failed"
