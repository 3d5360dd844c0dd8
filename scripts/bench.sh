#!/usr/bin/env bash
# Runs every benchmark program whose source prints "BENCH" lines and shows them as one table:
#   what | measured | peer or floor (- when there is none) | goal
# in ms unless the line says otherwise (memory in MB). Lines that begin with "DIST" give the
# distribution of the runs behind a figure; they follow the table.
# The programs are built with the tests (cmake --build build). Figures are medians (or trimmed
# means, where a line says so) of several runs taken on this machine; a busy machine raises
# them all, peers and floors included.
#
#     bash scripts/bench.sh [build folder]
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
if [ "$(id -u)" = 0 ]; then
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}"
fi
lines=$(mktemp)
trap 'rm -f "$lines"' EXIT
for source in bench/bench_*.cpp; do
    grep -q 'BENCH ' "$source" || continue
    name=$(basename "$source" .cpp)
    program="$build/bench/$name"
    if [ ! -x "$program" ]; then
        echo "($name is not built: skipped)" >&2
        continue
    fi
    echo "running $name ..." >&2
    "$program" 2>/dev/null | grep -E '^(BENCH|DIST) ' >>"$lines" || echo "($name failed)" >&2
done
printf '\n%-66s | %9s | %9s | %s\n' "what" "figure" "peer" "goal"
printf '%s\n' "$(printf '%.0s-' {1..120})"
grep '^BENCH ' "$lines" | sed 's/^BENCH //' | awk -F'|' '{
    for (i = 1; i <= NF; i++) gsub(/^ +| +$/, "", $i)
    printf "%-66s | %9s | %9s | %s\n", $1, $2, $3, $4
}'
if grep -q '^DIST ' "$lines"; then
    printf '\nDistributions (ms):\n'
    grep '^DIST ' "$lines" | sed 's/^DIST /  /'
fi
