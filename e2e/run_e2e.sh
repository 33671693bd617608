#!/usr/bin/env bash
# End-to-end test: starts the real quillmark under xvfb-run, a real X client, with the real msgfmt and a settings
# folder of its own, and drives it through its test-only script hook with real key and mouse events:
#   1. started with -f on a PO file with errors, the single-file memo shows msgfmt's lines;
#   2. a folder of PO files typed into the folder box and Enter pressed fills the list;
#   3. a screenshot of the window shows the bar colours of translated and untranslated messages;
#   4. the preferences opened, the slider moved two steps with the keyboard and Continue clicked, the settings
#      file holds the new position;
#   5. closing the window saves the folder and its history;
#   6. started again, the slider and its label show the stored position; the folder tree opened with ".." and a
#      double click on another folder in it reads that folder and fills the list.
# Usage: run_e2e.sh <quillmark> <e2e_check> <output folder> <corpus folder>
set -euo pipefail
quillmark=$1
check=$2
out=$3
corpus=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/single" "$work/po folder" "$work/tree folder" "$out"
cp "$corpus/thunar/broken/de-missing-quote.po" "$work/single/"
for file in am.po de.po si.po broken/de-format-mismatch.po; do
    cp "$corpus/thunar/$file" "$work/po folder/"
done
cp "$corpus/thunar/ar.po" "$corpus/thunar/fr.po" "$corpus/thunar/ja.po" "$work/tree folder/"
folder="$work/po folder"
treefolder="$work/tree folder"

cat >"$work/script" <<SCRIPT
wait-memo found 1 fatal error
dump-memo $work/memo.txt
click-tab Page 0
key EdtDir Ctrl+A
type EdtDir $folder
key EdtDir Return
wait-queue
screenshot $work/screenshot.png
click BtnPref
expect-text Track 3
key Track Right
key Track Right
expect-text Label10 1/6
click BtnEditor
close
SCRIPT

cat >"$work/script2" <<SCRIPT
expect-text Track 5
expect-text Label10 1/6
expect-text EdtDir $folder
click BtnPath
dblclick-tree $treefolder
wait-queue
expect-rows 3
expect-text EdtDir $treefolder
screenshot $work/screenshot2.png
close
SCRIPT

# run <script> [arguments...]: the program under its own X server, driven by script.
run() {
    local script=$1
    shift
    local status=0
    # A 24-bit screen, so that the bar colours reach the screenshot unchanged. LANGUAGE is dropped so that the
    # single-file page's msgfmt speaks English whatever the machine's language. The X server comes without a
    # session bus; without this, libdbus tries to start one, fails, and keeps the error text for good (a leak to
    # LeakSanitizer).
    env -u LANGUAGE LC_ALL=C.UTF-8 XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS=disabled: QUILLMARK_E2E_SCRIPT="$script" QUILLMARK_E2E_TIMEOUT=120 \
        timeout 240 xvfb-run -a -s "-screen 0 1024x768x24" "$quillmark" "$@" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAIL: quillmark ended with status $status"
        exit 1
    fi
}

echo "--- first run"
run "$work/script" -f "$work/single/de-missing-quote.po"

failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

echo "--- single-file memo"
cat "$work/memo.txt"
grep -qF "$work/single/de-missing-quote.po:42: end-of-line within string" "$work/memo.txt" ||
    fail "the memo lacks msgfmt's error line"
grep -qF "found 1 fatal error" "$work/memo.txt" || fail "the memo lacks msgfmt's summary"

echo "--- screenshot"
if [ -f "$work/screenshot.png" ]; then
    cp "$work/screenshot.png" "$out/screenshot.png"
    echo "E2E screenshot: $out/screenshot.png"
    # Translated, untranslated and the error bar of the broken file.
    "$check" colours "$out/screenshot.png" '#9BD630' '#9BA38B' '#B31F0F' || fail "bar colours missing"
else
    fail "no screenshot"
fi

settings="$work/config/Velloran/Quillmark/settings.json"
echo "--- settings after the first run"
"$check" settings "$settings" "LastDir=$folder" "Dir1=$folder" "Ratio:=5" ||
    fail "the folder, its history or the slider's position was not saved"

echo "--- second run"
run "$work/script2"
cp "$work/screenshot2.png" "$out/screenshot2.png" && echo "E2E screenshot: $out/screenshot2.png" ||
    fail "no screenshot of the second run"
echo "--- settings after the second run"
"$check" settings "$settings" "LastDir=$treefolder" "Dir1=$treefolder" "Dir2=$folder" "Ratio:=5" ||
    fail "the folder read from the tree was not saved"

[ "$failed" -eq 0 ] && echo "e2e passed"
exit "$failed"
