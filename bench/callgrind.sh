#!/usr/bin/env bash
# Instructions per call, ours against the baseline, counted by callgrind (repeatable where
# wall-clock times are not). Usage: bench/callgrind.sh [BUILD_DIR]   (default build-bench,
# as ./build.sh bench leaves it). Prints a Markdown table.
set -euo pipefail
percall=${1:-build-bench}/bench/ecc_percall
[ -x "$percall" ] || { echo "callgrind.sh: $percall not found; run ./build.sh bench first" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# count OPERATION SIZE CALLS: instructions per call inside MeasuredCalls.
count() {
    valgrind --tool=callgrind --callgrind-out-file="$work/out" --toggle-collect='*MeasuredCalls*' \
        "$percall" "$1" "$2" "$3" >/dev/null 2>&1
    local total
    total=$(callgrind_annotate "$work/out" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1; exit }')
    echo $((total / $3))
}

echo "| operation | size | ours (Ir/call) | baseline (Ir/call) | ratio |"
echo "|---|---|---|---|---|"
row() {
    local op=$1 size=$2 calls=$3 ours base
    ours=$(count "ours-$op" "$size" "$calls")
    base=$(count "baseline-$op" "$size" "$calls")
    awk -v op="$op" -v size="$size" -v ours="$ours" -v base="$base" \
        'BEGIN { printf "| %s | %s | %d | %d | %.3f |\n", op, size, ours, base, ours / base }'
}
row keygen 0 10
for size in 0 1024 65536 1048576; do
    calls=10
    [ "$size" = 1048576 ] && calls=2
    row encrypt "$size" "$calls"
    row decrypt "$size" "$calls"
    row decrypt-bytes "$size" "$calls"
done
