#!/usr/bin/env bash
# Runs every benchmark of bench/ in turn. Usage: bench/run.sh [build directory]
# Each benchmark script takes the build directory and prints its own table of medians.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
for script in "$here"/*.sh; do
    [ "$(basename "$script")" = run.sh ] && continue
    echo "== $(basename "$script" .sh)"
    bash "$script" "$build"
done
