#!/usr/bin/env bash
# Runs every benchmark against generated trees in a temporary folder.
set -euo pipefail
build=${1:-build}
work=$(mktemp -d /tmp/bramwick-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
export BRAMWICK_HOME="$work/home"
mkdir -p "$BRAMWICK_HOME"

echo "== allocatedSize against du"
"$build/bench/bench_allocated_size" 200000 "$work/tree"

echo "== one vitals sample, with and without the top processes"
"$build/bench/bench_vitals_sample" "$work/vitals"

echo "== project build folders, large files and deleting, against find and rm"
"$build/bench/bench_cleaner_walks" 60 "$work/projects"
