#!/bin/sh
# Folds new inputs (by default those `make fuzz` found, in build-fuzz/corpus) into the
# corpus in fuzz/corpus and minimises it, so that the tests replay it in seconds: an
# input stays if it adds coverage or hit counts; one tiled past a read block (slow to
# replay) only if it reaches code that no other input reaches. Needs the fuzz build.
set -eu
cd "$(dirname "$0")/.."
new=${1:-build-fuzz/corpus}
fuzzer=build-fuzz/veltrane_fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/quick" "$work/tiled" "$work/out"
for f in fuzz/corpus/* "$new"/*; do
    [ -f "$f" ] || continue
    # The tiling field is the last two bytes; its low byte decides.
    size=$(wc -c <"$f")
    low=0
    [ "$size" -ge 2 ] && low=$(tail -c 2 "$f" | head -c 1 | od -An -tu1 | tr -d ' ')
    if [ $((low % 16)) -eq 15 ]; then cp "$f" "$work/tiled/"; else cp "$f" "$work/quick/"; fi
done
"$fuzzer" -merge=1 -max_len=4096 "$work/out" "$work/quick" 2>&1 | grep "MERGE-OUTER: [0-9]* new"
"$fuzzer" -merge=1 -use_counters=0 -max_len=4096 "$work/out" "$work/tiled" 2>&1 |
    grep "MERGE-OUTER: [0-9]* new"
rm -f fuzz/corpus/*
cp "$work/out"/* fuzz/corpus/
echo "fuzz/corpus: $(ls fuzz/corpus | wc -l) inputs"
