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

echo "== couleur: LBG palettes of samples/astronaut?.ima (512 x 512 RGB plane set)"
for colours in 256 16; do
    name=astronaut_N$colours
    for c in r v b; do
        cp "samples/astronaut$c.ima" "$out/$name$c.ima"
    done
    run "$name.txt" "$bin/couleur" "-f$out/$name" "-N$colours"
    echo "    $(sed -n 's/^nombre code //p' "$out/$name.txt") reduced colours (shifts 4)," \
        "$(( $(grep -c '^distorsion' "$out/$name.txt") / 2 )) passes," \
        "last: $(grep '^distorsion' "$out/$name.txt" | tail -n 1)"
    echo "    -> $out/${name}s.ima ($(size "$out/${name}s.ima")), $out/$name.lut" \
        "($(wc -l < "$out/$name.lut") lines)"
done
