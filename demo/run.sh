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

echo
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

echo
echo "== tripal: fixed 3-3-2 coding of the astronaut plane set (512 x 512 colour)"
# The base name is shared by the planes and the outputs: the planes are copied next to them.
mkdir -p "$out/tripal"
for plane in r v b; do
    cp "samples/astronaut$plane.ima" "$out/tripal/astronaut$plane.ima"
done
base=$out/tripal/astronaut
run tripal.txt "$bin/tripal" "-f$base" -c512 -l512
bytes() {
    od -An -v -tu1 -w1 "$1"
}
echo "    $(bytes "$base"s.ima | sort -u | wc -l) of the 256 codes used"
# Each pixel decoded through the palette file, against the original samples.
paste <(bytes "${base}r.ima") <(bytes "${base}v.ima") <(bytes "${base}b.ima") \
    <(bytes "${base}s.ima") | awk -v lut="$base.lut" '
    BEGIN { for (i = 0; i < 768; i++) { getline line < lut; level[i] = line } }
    {
        for (c = 0; c < 3; c++) { d = $(c + 1) - level[c * 256 + $4]; error[c] += d * d }
        n++
    }
    END {
        split("red green blue", name, " ")
        for (c = 0; c < 3; c++) {
            mse = error[c] / n
            printf "    %s: mean squared error %.2f, PSNR %.2f dB\n", name[c + 1], mse,
                10 * log(255 * 255 / mse) / log(10)
        }
    }'
echo "    -> ${base}s.ima ($(size "${base}s.ima")), $base.lut ($(wc -l < "$base.lut") lines)"

echo
echo "== tarvel: SPIHT coding of a Haar decomposition of samples/camera.raw"
echo "   (512 x 512, 5 levels: lowest band 16 x 16; haar is the toolkit's companion tool)"
mkdir -p "$out/tarvel"
echo "\$ haar avant 16 16 5 < samples/camera.raw > $out/tarvel/camera.f32"
"$bin/haar" avant 16 16 5 < samples/camera.raw > "$out/tarvel/camera.f32"
echo "    -> $out/tarvel/camera.f32 ($(size "$out/tarvel/camera.f32"))"
for rate in 0.1 0.25 0.5 1 2; do
    bits=$(awk -v r="$rate" 'BEGIN { printf "%d", r * 512 * 512 }')
    # Each rate runs in a folder of its own: tarvel writes fbin.dat where it runs.
    dir=$out/tarvel/rate_$rate
    mkdir -p "$dir"
    echo "\$ tarvel 16 16 5 $bits < camera.f32 > $dir/camera.f32    ($rate bits per coefficient)"
    if (cd "$dir" && "$top/$bin/tarvel" 16 16 5 "$bits" < ../camera.f32 > camera.f32 2> report.txt); then
        echo "    planes $(grep -m 1 '^n=' "$dir/report.txt") to $(grep '^n=' "$dir/report.txt" | tail -n 1)"
        echo "    $(grep -A 3 'nombre de bits' "$dir/report.txt" | tr '\n' ' ')"
        "$bin/haar" arriere 16 16 5 < "$dir/camera.f32" > "$dir/camera.raw"
        echo "    rebuilt image: $("$bin/haar" psnr samples/camera.raw "$dir/camera.raw" 2>&1)"
        echo "    -> $dir/fbin.dat ($(size "$dir/fbin.dat")), $dir/camera.f32 ($(size "$dir/camera.f32")), $dir/camera.raw"
    else
        echo "    (status $?: $(tr '\n' ' ' < "$dir/report.txt"))"
    fi
done
