#!/usr/bin/env bash
# Times scalaire on a 1 GiB file against cat of the same file, medians of several runs.
# Usage: bench/scalaire.sh <build directory> [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
runs=${2:-5}
work=$build/bench/scalaire
mkdir -p "$work"

# 1 GiB of real picture data: the sample image repeated 4096 times.
input=$work/input.raw
if [ ! -f "$input" ] || [ "$(stat -c %s "$input")" -ne 1073741824 ]; then
    for i in $(seq 4096); do cat "$top/samples/camera.raw"; done > "$input"
fi

# Median wall-clock seconds of a command run $runs times, after one warm-up run.
median() {
    bash -c "$1" > /dev/null 2>&1
    for i in $(seq "$runs"); do
        /usr/bin/time -f %e bash -c "$1" 2>&1 > /dev/null | tail -n 1
    done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

scalaire=$build/bin/scalaire
cat_null=$(median "cat '$input' > /dev/null")
cat_pipe=$(median "cat '$input' | cat > /dev/null")
cat_copy=$(median "cat '$input' > '$work/copy.raw'")
q16=$(median "'$scalaire' -e'$input' -s'$work/out.raw' -N16 2> /dev/null")
q16null=$(median "'$scalaire' -e'$input' -s/dev/null -N16 2> /dev/null")
rm -f "$work/copy.raw" "$work/out.raw"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }'; }
printf '%-44s %8s %8s\n' "1 GiB, median of $runs runs" seconds "x cat"
printf '%-44s %8s %8s\n' "cat file > /dev/null" "$cat_null" 1.0
printf '%-44s %8s %8s\n' "cat file | cat > /dev/null" "$cat_pipe" "$(ratio "$cat_pipe" "$cat_null")"
printf '%-44s %8s %8s\n' "cat file > copy" "$cat_copy" "$(ratio "$cat_copy" "$cat_null")"
printf '%-44s %8s %8s\n' "scalaire -N16, output to a file" "$q16" "$(ratio "$q16" "$cat_null")"
printf '%-44s %8s %8s\n' "scalaire -N16, output to /dev/null" "$q16null" "$(ratio "$q16null" "$cat_null")"
