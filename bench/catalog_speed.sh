#!/usr/bin/env bash
# Catalog speed, two figures:
# (a) quillmark-report --format tsv over the corpus folder against a bare shell loop running the same msgfmt
#     command on the same files under LC_ALL=C, alternating for several rounds in the same run; prints both
#     medians and report / bare (goal: at most 1.10).
# (b) reading a folder of 10,000 tiny PO files: from the ReadFolder call to the start of the first check
#     (goal: below 500 ms).
# BUILD names a build folder to use as it is; without it, build-bench is configured for Release.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-7}
files=${FILES:-10000}
folder=$(cd "${FOLDER:-$root/../shared/corpus/thunar}" && pwd)

if [ -n "${BUILD:-}" ]; then
    build=$BUILD
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja >/dev/null
else
    build="$root/build-bench"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target quillmark-report catalog_bench >/dev/null
report="$build/report/quillmark-report"

shopt -s nullglob
po_files=("$folder"/*.po)
[ ${#po_files[@]} -gt 0 ] || { echo "no PO files in $folder" >&2; exit 1; }

now() { date +%s%N; }
elapsed_ms() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f\n", (b - a) / 1e6}'; }

report_pass() {
    local start end
    start=$(now)
    "$report" --format tsv "$folder" >/dev/null 2>&1 || [ $? -eq 1 ]
    end=$(now)
    elapsed_ms "$start" "$end"
}

bare_pass() {
    local start end f
    start=$(now)
    for f in "${po_files[@]}"; do
        LC_ALL=C msgfmt "$f" -v -c -o /dev/null >/dev/null 2>&1 || true
    done
    end=$(now)
    elapsed_ms "$start" "$end"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# One pass of each first, so that the files and programs are in the page cache for every measured round.
report_pass >/dev/null
bare_pass >/dev/null
report_times=()
bare_times=()
for r in $(seq 1 "$rounds"); do
    report_times+=("$(report_pass)")
    bare_times+=("$(bare_pass)")
done
report_median=$(printf '%s\n' "${report_times[@]}" | median)
bare_median=$(printf '%s\n' "${bare_times[@]}" | median)
echo "(a) catalog of $folder: ${#po_files[@]} files, rounds: $rounds"
echo "report passes (ms): ${report_times[*]}"
echo "bare passes (ms):   ${bare_times[*]}"
echo "report median: $report_median ms"
echo "bare median:   $bare_median ms"
awk -v r="$report_median" -v b="$bare_median" 'BEGIN {printf "ratio report/bare: %.3f (goal <= 1.10)\n", r / b}'
echo
echo "(b) reading a folder of $files PO files (goal: first check below 500 ms)"
"$build/bench/catalog_bench" "$files" "$rounds"
