#!/usr/bin/env bash
# Benchmark of couleur: the 512 x 512 sample plane set, and a 4096 x 4096 plane set made by
# tiling it 8 x 8 (48 MiB in all, generated under the build directory), at the default settings
# and with -N16, and with shifts of 2. Prints the median, fastest and slowest wall time of several runs, the number of
# design passes and the peak memory. Usage: bench/couleur.sh <build directory> [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
runs=${2:-7}
program=$build/bin/couleur
work=$build/bench/couleur
mkdir -p "$work"

# The sample, and the sample tiled 8 times across and 8 times down.
for c in r v b; do
    cp "$top/samples/astronaut$c.ima" "$work/small$c.ima"
    if [ ! -s "$work/large$c.ima" ]; then
        perl -e 'local $/; my $d = <STDIN>; my $t = "";
                 for my $y (0 .. 511) { $t .= substr($d, 512 * $y, 512) x 8 }
                 print $t x 8' < "$top/samples/astronaut$c.ima" > "$work/large$c.ima"
    fi
done

elapsed() { # prints the wall time of one run in seconds
    local start end
    start=$(date +%s%N)
    "$@" 2> /dev/null
    end=$(date +%s%N)
    awk -v t=$((end - start)) 'BEGIN { printf "%.3f", t / 1e9 }'
}

printf "%-24s %9s %8s %7s %9s %9s %9s %10s\n" case pixels colours passes median fastest \
    slowest "peak KiB"
bench() {
    local name=$1
    shift
    local args=("$@")
    local log=$work/$name.txt
    /usr/bin/time -v "$program" "${args[@]}" 2> "$log"
    local pixels colours passes peak
    pixels=$(sed -n 's/^taille fichier //p' "$log")
    colours=$(sed -n 's/^nombre code //p' "$log")
    passes=$(( $(grep -c '^distorsion' "$log") / 2 ))
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
    local times=()
    for _ in $(seq "$runs"); do
        times+=("$(elapsed "$program" "${args[@]}")")
    done
    local sorted
    sorted=$(printf "%s\n" "${times[@]}" | sort -n)
    printf "%-24s %9s %8s %7s %9s %9s %9s %10s\n" "$name" "$pixels" "$colours" "$passes" \
        "$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")" "$(echo "$sorted" | head -n 1)" \
        "$(echo "$sorted" | tail -n 1)" "$peak"
}

bench "4096x4096 defaults" "-f$work/large"
bench "4096x4096 -N16" "-f$work/large" -N16
# Finer reduced colours: the design passes, not the pixels, take the time.
bench "4096x4096 shifts 2" "-f$work/large" -r2 -v2 -b2
bench "512x512 defaults" "-f$work/small"
bench "512x512 -N16" "-f$work/small" -N16
echo "(seconds, median of $runs runs; outputs in $work)"
