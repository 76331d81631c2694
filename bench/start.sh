#!/usr/bin/env bash
# The command-line tool's start: `generate` of a 1-second recording beside a bare Qt Core
# program that prints a line (goal: at most 1.3 times), and the libraries `generate` loads
# (goal: none of Qt Gui, Widgets or Multimedia).
#   bench/start.sh [BUILD_DIR]      (default: build; needs hyperfine)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${TMPDIR:-/tmp}/veltrane-bench/start
mkdir -p "$work"
[ -s "$work/one.wav" ] || "$build/veltrane-synth" speech "$work/one.wav" 1 1 16 22050
export VELTRANE_SETTINGS="$work/settings.ini" LC_ALL=C
# The host's speed drifts from one second to the next: both programs are timed side by
# side in ten short rounds, and the ratio is the median of the rounds' ratios.
rounds=()
for ((i = 0; i < 10; i++)); do
  hyperfine -N -w 3 -r 20 --export-json "$work/h.json" "$build/veltrane_bare_start" \
    "$build/veltrane-cli generate $work/one.wav" >/dev/null 2>&1
  rounds+=("$(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"]
print("%.3f %.3f" % (r[0]["median"] * 1000, r[1]["median"] * 1000))' "$work/h.json")")
done
printf '%s\n' "${rounds[@]}" | python3 -c '
import statistics, sys
pairs = [tuple(map(float, line.split())) for line in sys.stdin if line.strip()]
ratios = sorted(g / b for b, g in pairs)
print("Start of veltrane-cli (1-second recording, cache warm, medians of ten rounds of 20 runs):")
print("  bare Qt Core program       %.1f ms" % statistics.median(b for b, g in pairs))
print("  veltrane-cli generate      %.1f ms" % statistics.median(g for b, g in pairs))
print("  ratio                      %.2f (rounds %.2f to %.2f; goal: at most 1.3)"
      % (statistics.median(ratios), ratios[0], ratios[-1]))'
loaded=$(LD_DEBUG=libs "$build/veltrane-cli" generate "$work/one.wav" 2>&1 >/dev/null |
  grep -oE 'calling init: [^ ]*lib(Qt6(Gui|Widgets|Multimedia)|pulse|X11|GL)[^ ]*' || true)
echo "  GUI libraries loaded       ${loaded:-none} (goal: none)"
