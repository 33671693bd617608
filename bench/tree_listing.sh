#!/usr/bin/env bash
# Reading a whole project tree with --recursive: a tree of FOLDERS folders (default 2,000) holding FILES files
# (default 200,000), of which PO (default 5,000) are *.po, made in a temporary folder. In the same run, alternating
# for ROUNDS rounds:
#   find TREE -name '*.po'                              the system's own walk, with nothing else to do;
#   quillmark-report -r TREE, up to its first check     the walk, the order and the queue's start.
# Checks are made by a stand-in msgfmt that notes the time of the first one and exits; the report is then ended.
# Prints the medians and their ratio (goal: at most 1.5). Then the memory of quillmark-report -r --watch over the
# tree once its first pass is done (VmRSS), with the number of inotify watches it holds.
# BUILD names the build folder (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
report="$build/report/quillmark-report"
folders=${FOLDERS:-2000}
files=${FILES:-200000}
po=${PO:-5000}
rounds=${ROUNDS:-5}
[ -x "$report" ] || { echo "build quillmark-report first ($report)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
python3 - "$tree" "$folders" "$files" "$po" <<'PY'
import os, sys
tree, folders, files, po = sys.argv[1], *map(int, sys.argv[2:])
dirs = []
for i in range(folders):
    # Three levels, as locale/<lang>/LC_MESSAGES.
    d = os.path.join(tree, "m%02d" % (i % 40), "l%03d" % (i // 40), "LC_MESSAGES")
    os.makedirs(d, exist_ok=True)
    dirs.append(d)
for n in range(files):
    name = "f%06d.po" % n if n < po else "f%06d.txt" % n
    open(os.path.join(dirs[n % folders], name), "w").close()
PY

stub="$work/bin"
mkdir -p "$stub"
cat > "$stub/msgfmt" <<'SH'
#!/bin/sh
[ -e "$FIRST_CHECK" ] || date +%s%N > "$FIRST_CHECK"
exit 0
SH
chmod +x "$stub/msgfmt"

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

find_times=()
report_times=()
for ((round = 0; round < rounds; ++round)); do
    start=$(now)
    find "$tree" -name '*.po' >/dev/null
    find_times+=($(( $(now) - start )))

    mark="$work/first.$round"
    start=$(now)
    FIRST_CHECK=$mark PATH="$stub:$PATH" "$report" -r --format tsv "$tree" >/dev/null 2>&1 &
    pid=$!
    while [ ! -e "$mark" ]; do sleep 0.01; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    report_times+=($(( $(cat "$mark") - start )))
done
find_ms=$(printf '%s\n' "${find_times[@]}" | median | awk '{printf "%.1f", $1 / 1e6}')
report_ms=$(printf '%s\n' "${report_times[@]}" | median | awk '{printf "%.1f", $1 / 1e6}')
echo "tree: $folders folders, $files files, $po *.po"
echo "find -name '*.po':                 $find_ms ms (median of $rounds)"
echo "quillmark-report -r to 1st check:  $report_ms ms (median of $rounds)"
awk -v a="$report_ms" -v b="$find_ms" 'BEGIN {printf "ratio report / find: %.2f (goal: at most 1.5)\n", a / b}'

out="$work/watch.out"
FIRST_CHECK="$work/first.watch" PATH="$stub:$PATH" "$report" -r --watch --format tsv "$tree" >"$out" 2>&1 &
pid=$!
# The first pass is done when its last row is out: a header and one line per file.
for ((i = 0; i < 6000; ++i)); do
    [ "$(wc -l <"$out")" -gt "$po" ] && break
    sleep 0.05
done
rss=$(awk '/VmRSS/ {print $2, $3}' "/proc/$pid/status")
watches=$(cat /proc/"$pid"/fdinfo/* 2>/dev/null | grep -c '^inotify' || true)
kill -INT "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "quillmark-report -r --watch after its first pass: VmRSS $rss, $watches inotify watches"
