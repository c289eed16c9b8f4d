#!/usr/bin/env bash
# Benchmark of tarvel: codes synthetic coefficient images shaped like a wavelet decomposition
# (lowest band 16 x 16, magnitudes halving from level to level, random signs) of 512 x 512,
# 2048 x 2048 and 4096 x 4096 at 0.25, 1 and 4 bits per coefficient, end to end (read, code,
# write the stream and the reconstruction to files). Prints the median wall time of several
# runs, the time per coefficient with and without the cost of starting a process, and the
# largest peak resident memory of the runs, from /usr/bin/time -v.
# Usage: bench/tarvel.sh <build directory>   (RUNS=n sets the number of runs, 5 by default)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin=$build/bin
work=$build/bench/tarvel
runs=${RUNS:-5}
mkdir -p "$work"
cd "$work"

median() {
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Times one run of tarvel "$@" (standard input from $input) into times.txt and peaks.txt.
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -v -o usage.txt "$bin/tarvel" "$@" < "$input" > reconstruction.f32 2> report.txt
    end=$(date +%s%N)
    echo $(((end - start) / 1000)) >> times.txt
    awk -F': ' '/Maximum resident set size/ { print $2 }' usage.txt >> peaks.txt
}

# The cost of starting a process at all, measured the same way on a 4 x 4 image: the net
# column takes it off, so that small images are not charged with it.
input=/dev/null
: > times.txt
: > peaks.txt
for ((run = 0; run < runs; run++)); do
    measure 2 2 1 8
done
startup=$(median < times.txt)
printf 'startup (4 x 4 image, 8 bits): %.3f s, median of %d runs\n' "$(awk -v us="$startup" 'BEGIN { print us / 1e6 }')" "$runs"

printf '%-11s %5s %9s %8s %8s %12s %11s\n' size rate bits seconds ns/coef "net ns/coef" bytes/coef
for shape in "512 5" "2048 7" "4096 8"; do
    set -- $shape
    size=$1
    levels=$2
    coefficients=$((size * size))
    input=synthetic_$size.f32
    [ -s "$input" ] || "$bin/haar" synthese 16 16 "$levels" 1 > "$input"
    for rate in 0.25 1 4; do
        bits=$(awk -v r="$rate" -v n="$coefficients" 'BEGIN { printf "%d", r * n }')
        : > times.txt
        : > peaks.txt
        for ((run = 0; run < runs; run++)); do
            measure 16 16 "$levels" "$bits"
        done
        grep -q "nombre de bits : $bits" report.txt || { echo "tarvel did not reach $bits bits" >&2; exit 1; }
        micro=$(median < times.txt)
        peak=$(sort -n peaks.txt | tail -n 1)
        awk -v s="${size}x$size" -v r="$rate" -v b="$bits" -v us="$micro" -v kb="$peak" \
            -v n="$coefficients" -v base="$startup" \
            'BEGIN { printf "%-11s %5s %9d %8.3f %8.1f %12.1f %11.1f\n", s, r, b, us / 1e6,
                     us * 1000 / n, (us - base) * 1000 / n, kb * 1024 / n }'
    done
done
