#!/usr/bin/env bash
# tripal on the astronaut plane set (512 x 512) and on a 4096 x 4096 plane set made of 64 copies
# of it: median wall time of 5 runs and peak resident memory, which stays flat because the
# image streams one line at a time. Usage: bench/tripal.sh <build directory>
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
work=$build/bench/tripal
mkdir -p "$work"

for plane in r v b; do
    cp "$top/samples/astronaut$plane.ima" "$work/small$plane.ima"
    for copy in $(seq 64); do cat "$top/samples/astronaut$plane.ima"; done > "$work/large$plane.ima"
done

printf "%-12s %12s %14s\n" "image" "median (ms)" "peak RSS (kB)"
for size in small:512 large:4096; do
    name=${size%%:*}
    side=${size##*:}
    times=()
    for run in 1 2 3 4 5; do
        start=$(date +%s%N)
        /usr/bin/time -f "%M" -o "$work/peak.txt" "$build/bin/tripal" "-f$work/$name" \
            "-c$side" "-l$side"
        times+=($((($(date +%s%N) - start) / 1000000)))
        peak=$(cat "$work/peak.txt")
    done
    median=$(printf "%s\n" "${times[@]}" | sort -n | sed -n 3p)
    printf "%-12s %12s %14s\n" "${side}x$side" "$median" "$peak"
done
