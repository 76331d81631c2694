#!/usr/bin/env bash
# The whole-process time of `veltrane-cli generate` on a 1 GB 16-bit stereo recording whose
# pages are already in the system's file cache, beside the time of `cat FILE > /dev/null`
# (the cost of copying the same bytes out of the cache): the goal is at most 1.3 times.
# Also the peak memory of generate, here and on a 2 GiB recording: the goal is < 64 MB.
#   bench/copy_limit.sh [BUILD_DIR]      (default: build)
# Needs about 3.2 GB in ${TMPDIR:-/tmp}; the recordings are kept there for the next run.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${TMPDIR:-/tmp}/veltrane-bench
mkdir -p "$work"
one="$work/stereo16-1g.wav" two="$work/stereo16-2g.wav"
[ -s "$one" ] || "$build/veltrane-synth" long "$one" 1000000000 2 16 44100
[ -s "$two" ] || "$build/veltrane-synth" long "$two" 2147483000 2 16 44100
. "$(dirname "$0")/settle.sh"
settle "$one"
export VELTRANE_SETTINGS="$work/settings.ini" LC_ALL=C
rm -f "$VELTRANE_SETTINGS"
generate() { "$build/veltrane-cli" generate --method single "$1" >/dev/null 2>&1 || true; }

# Median wall time of a command over N runs, in milliseconds.
median_ms() {
  local n=$1; shift
  local times=()
  for ((i = 0; i < n; i++)); do
    local t0 t1
    t0=$(date +%s%N); "$@"; t1=$(date +%s%N)
    times+=($(((t1 - t0) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((n + 1) / 2))p"
}
copy() { cat "$1" > /dev/null; }

for f in "$one" "$one"; do copy "$f"; generate "$f"; done   # warm the cache
cat_ms=$(median_ms 11 copy "$one")
gen_ms=$(median_ms 11 generate "$one")
echo "1 GB 16-bit stereo, cache warm, median of 11 runs:"
echo "  cat FILE > /dev/null       ${cat_ms} ms"
echo "  veltrane-cli generate      ${gen_ms} ms"
awk -v g="$gen_ms" -v c="$cat_ms" 'BEGIN { printf "  ratio                      %.2f (goal: at most 1.3)\n", g / c }'

if [ -x /usr/bin/time ]; then
  for f in "$one" "$two"; do
    copy "$f"
    /usr/bin/time -o "$work/time.txt" -f %M "$build/veltrane-cli" generate --method single "$f" \
      >/dev/null 2>&1 || true
    kb=$(tail -1 "$work/time.txt")
    echo "  peak memory on $(basename "$f"): $((kb / 1024)) MB (goal: below 64 MB)"
  done
else
  echo "  (install the 'time' package to see the peak memory)"
fi
