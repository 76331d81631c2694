#!/usr/bin/env bash
# An Entire Folder run over 1,000 short recordings: how many times it forces data to disk
# (goal: at most 20) and its time beside the time of reading the same files with `cat`
# (goal: at most 4 times, with the default --jobs).
#   bench/folder_run.sh [BUILD_DIR]      (default: build; needs strace for the sync count)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${TMPDIR:-/tmp}/veltrane-bench/folder
mkdir -p "$work"
if [ ! -s "$work/take1000.wav" ]; then
  rm -f "$work"/*.wav
  "$build/veltrane-synth" speech "$work/take1.wav" 2 1 16 22050
  for i in $(seq 2 1000); do cp "$work/take1.wav" "$work/take$i.wav"; done
fi
export VELTRANE_SETTINGS="$work/../folder-settings.ini" LC_ALL=C
rm -f "$VELTRANE_SETTINGS" "$work"/*.gap
run() { "$build/veltrane-cli" generate --method folder --double-speed "$work/take1.wav" >/dev/null; }
copy() { cat "$work"/*.wav > /dev/null; }

# The best of three: other work on the machine only ever adds time.
best() {
  local best_ms=
  for _ in 1 2 3; do
    local t0 t1; t0=$(date +%s%N); "$@"; t1=$(date +%s%N)
    local ms=$(((t1 - t0) / 1000000))
    if [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ]; then best_ms=$ms; fi
  done
  echo "$best_ms"
}
. "$(dirname "$0")/settle.sh"
settle "$work"/*.wav
run   # warm the cache
cat_ms=$(best copy)
run_ms=$(best run)
echo "Entire Folder over 1,000 files of 2 s (16-bit mono), cache warm, best of 3:"
echo "  cat of all files           ${cat_ms} ms"
echo "  veltrane-cli generate      ${run_ms} ms"
awk -v r="$run_ms" -v c="$cat_ms" 'BEGIN { if (c < 1) c = 1; printf "  ratio                      %.1f (goal: at most 4)\n", r / c }'
if command -v strace >/dev/null; then
  trace="$work/../strace.txt"
  strace -f -qq -e trace=fsync,fdatasync,sync,syncfs,sync_file_range,msync -o "$trace" \
    "$build/veltrane-cli" generate --method folder --double-speed "$work/take1.wav" >/dev/null 2>&1
  syncs=$(grep -cE '(fsync|fdatasync|sync|syncfs|sync_file_range|msync)\(' "$trace" || true)
  echo "  disk syncs                 ${syncs} (goal: at most 20)"
else
  echo "  (install strace to count the disk syncs)"
fi
