#!/usr/bin/env bash
# Catalog speed, two parts:
# (a) quillmark-report --format tsv over the corpus folder, and the same msgfmt command on the same files under
#     LC_ALL=C run by a bare sequential shell loop and by xargs -P with one process per processor available,
#     alternating for several rounds in the same run. Prints the medians and three ratios, each the median of
#     the rounds' own ratios (a pass against the one it ran beside), with the ratio of the medians after it:
#       report --jobs 1 / bare loop          (goal: at most 1.10): the cost of the report itself;
#       report (default jobs) / xargs -P     (goal: at most 1.10): the cost of its checks at once;
#       report (default jobs) / bare loop    (goal on 2 processors: at most 0.60): what running at once gains.
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

# Arguments go to the report before the folder.
report_pass() {
    local start end
    start=$(now)
    "$report" "$@" --format tsv "$folder" >/dev/null 2>&1 || [ $? -eq 1 ]
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

# The same command line as the loop's, one msgfmt per file and no shell between; xargs ends with 123 when a
# broken file makes msgfmt fail, as the loop's failures are ignored too.
xargs_pass() {
    local start end
    start=$(now)
    printf '%s\0' "${po_files[@]}" |
        LC_ALL=C xargs -0 -P"$processors" -I{} msgfmt {} -v -c -o /dev/null >/dev/null 2>&1 || true
    end=$(now)
    elapsed_ms "$start" "$end"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# What the report takes as its default number of checks at once.
processors=$(nproc)

# One pass of each first, so that the files and programs are in the page cache for every measured round.
report_pass --jobs 1 >/dev/null
bare_pass >/dev/null
report_pass >/dev/null
xargs_pass >/dev/null
serial_times=()
bare_times=()
parallel_times=()
xargs_times=()
# Each round runs the four passes in turn, the order reversed every other round, so that a drift in the
# machine's speed weighs on each pass alike.
for r in $(seq 1 "$rounds"); do
    if [ $((r % 2)) -eq 1 ]; then
        serial_times+=("$(report_pass --jobs 1)")
        bare_times+=("$(bare_pass)")
        parallel_times+=("$(report_pass)")
        xargs_times+=("$(xargs_pass)")
    else
        xargs_times+=("$(xargs_pass)")
        parallel_times+=("$(report_pass)")
        bare_times+=("$(bare_pass)")
        serial_times+=("$(report_pass --jobs 1)")
    fi
done
serial_median=$(printf '%s\n' "${serial_times[@]}" | median)
bare_median=$(printf '%s\n' "${bare_times[@]}" | median)
parallel_median=$(printf '%s\n' "${parallel_times[@]}" | median)
xargs_median=$(printf '%s\n' "${xargs_times[@]}" | median)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
# The median of the rounds' own ratios of two arrays, named: each pass set against the pass it ran beside.
paired_ratio() {
    paste -d' ' <(printf '%s\n' "${!1}") <(printf '%s\n' "${!2}") | awk '{print $1 / $2}' | median |
        awk '{printf "%.3f", $1}'
}
echo "(a) catalog of $folder: ${#po_files[@]} files, rounds: $rounds, processors: $processors"
xargs_name="xargs -P$processors"
printf '%-30s %s\n' "report --jobs 1 passes (ms):" "${serial_times[*]}" "bare loop passes (ms):" "${bare_times[*]}" \
    "report (default) passes (ms):" "${parallel_times[*]}" "$xargs_name passes (ms):" "${xargs_times[*]}"
printf '%-30s %s ms\n' "report --jobs 1 median:" "$serial_median" "bare loop median:" "$bare_median" \
    "report (default) median:" "$parallel_median" "$xargs_name median:" "$xargs_median"
printf '%-40s %s (goal %s; ratio of the medians %s)\n' \
    "ratio report --jobs 1 / bare loop:" "$(paired_ratio "serial_times[@]" "bare_times[@]")" "<= 1.10" \
    "$(ratio "$serial_median" "$bare_median")" \
    "ratio report (default) / $xargs_name:" "$(paired_ratio "parallel_times[@]" "xargs_times[@]")" "<= 1.10" \
    "$(ratio "$parallel_median" "$xargs_median")" \
    "ratio report (default) / bare loop:" "$(paired_ratio "parallel_times[@]" "bare_times[@]")" \
    "on 2 processors <= 0.60" "$(ratio "$parallel_median" "$bare_median")"
echo
echo "(b) reading a folder of $files PO files (goal: first check below 500 ms)"
"$build/bench/catalog_bench" "$files" "$rounds"
