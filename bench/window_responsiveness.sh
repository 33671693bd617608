#!/usr/bin/env bash
# Window responsiveness: the real main window (offscreen) reads a folder of 2,000 tiny PO files while a 10 ms
# timer on the UI thread records the gaps between its ticks. Prints the largest gap, the 99th percentile and the
# queue's total time (goal: no gap over 100 ms). BUILD names the build folder (build-bench unless set), FILES the
# number of files, ROUNDS the number of runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
files=${FILES:-2000}
rounds=${ROUNDS:-3}
build="$root/${BUILD:-build-bench}"

# An existing build folder keeps its configuration.
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF >/dev/null
cmake --build "$build" --target window_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for i in $(seq -w 1 "$files"); do
    printf 'msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n\nmsgid "one %s"\nmsgstr "eins %s"\n\nmsgid "two %s"\nmsgstr ""\n' \
        "$i" "$i" "$i" >"$work/f$i.po"
done

echo "files: $files, rounds: $rounds"
for r in $(seq 1 "$rounds"); do
    echo "--- round $r"
    QT_QPA_PLATFORM=offscreen "$build/bench/window_bench" "$work" 2>/dev/null
done
