#!/usr/bin/env bash
# Runner overhead: msgfmt over 200 small PO files, one after another, through the command runner and
# through a bare shell loop, alternating for several rounds in the same run. Prints both medians and
# runner / bare (goal: at most 1.10).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-7}
files=${FILES:-200}
build="$root/build-bench"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF >/dev/null
cmake --build "$build" --target runner_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for i in $(seq -w 1 "$files"); do
    {
        printf 'msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n\n'
        for j in $(seq 1 20); do
            printf 'msgid "message %s %s"\nmsgstr "Meldung %s %s"\n\n' "$i" "$j" "$i" "$j"
        done
        printf 'msgid "untranslated %s"\nmsgstr ""\n' "$i"
    } >"$work/f$i.po"
done

bare_pass() {
    local start end
    start=$(date +%s%N)
    for f in "$work"/*.po; do
        LC_ALL=C msgfmt "$f" -v -c -o /dev/null >/dev/null 2>&1
    done
    end=$(date +%s%N)
    awk -v a="$start" -v b="$end" 'BEGIN {printf "%.1f\n", (b - a) / 1e6}'
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

runner_times=()
bare_times=()
for r in $(seq 1 "$rounds"); do
    runner_times+=("$("$build/bench/runner_bench" "$work"/*.po 2>/dev/null)")
    bare_times+=("$(bare_pass)")
done
runner_median=$(printf '%s\n' "${runner_times[@]}" | median)
bare_median=$(printf '%s\n' "${bare_times[@]}" | median)
echo "files: $files, rounds: $rounds"
echo "runner passes (ms): ${runner_times[*]}"
echo "bare passes (ms):   ${bare_times[*]}"
echo "runner median: $runner_median ms"
echo "bare median:   $bare_median ms"
awk -v r="$runner_median" -v b="$bare_median" 'BEGIN {printf "ratio runner/bare: %.3f\n", r / b}'
