#!/usr/bin/env bash
# The main job: runs every program of the toolkit on the sample images and keeps the outputs
# under <build>/demo/. Usage: demo/run.sh [build directory], from anywhere.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=$(realpath --relative-to=. "${1:-build}")
bin=$build/bin
out=$build/demo
mkdir -p "$out"

# Prints a command line, then runs it with its text kept in <out>/<log>; a failure is shown,
# not hidden.
run() {
    local log=$1
    shift
    echo "\$ $(basename "$1") ${*:2}"
    "$@" 2> "$out/$log" || echo "    (status $?: $(tr '\n' ' ' < "$out/$log"))"
}

size() {
    echo "$(stat -c %s "$1") octets"
}

echo "== scalaire: Lloyd-Max quantizers of samples/camera.raw (512 x 512 grey)"
for distance in 0 1 2; do
    for levels in 4 16; do
        name=camera_N${levels}_t${distance}
        run "$name.txt" "$bin/scalaire" -esamples/camera.raw "-s$out/$name.raw" \
            "-N$levels" "-t$distance"
        echo "    $(grep -c 'erreur' "$out/$name.txt") passes," \
            "last: $(grep '^distorsion' "$out/$name.txt" | tail -n 1)"
        echo "    -> $out/$name.raw ($(size "$out/$name.raw"))"
    done
done
