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
mean_ms() {  # the mean time of a command in milliseconds
  hyperfine -N -w 5 -r 40 --export-json "$work/h.json" "$@" >/dev/null 2>&1
  python3 -c 'import json,sys; print("%.1f" % (json.load(open(sys.argv[1]))["results"][0]["mean"] * 1000))' "$work/h.json"
}
bare=$(mean_ms "$build/veltrane_bare_start")
gen=$(mean_ms "$build/veltrane-cli generate $work/one.wav")
echo "Start of veltrane-cli (1-second recording, cache warm):"
echo "  bare Qt Core program       ${bare} ms"
echo "  veltrane-cli generate      ${gen} ms"
awk -v g="$gen" -v b="$bare" 'BEGIN { printf "  ratio                      %.2f (goal: at most 1.3)\n", g / b }'
loaded=$(LD_DEBUG=libs "$build/veltrane-cli" generate "$work/one.wav" 2>&1 >/dev/null |
  grep -oE 'calling init: [^ ]*lib(Qt6(Gui|Widgets|Multimedia)|pulse|X11|GL)[^ ]*' || true)
echo "  GUI libraries loaded       ${loaded:-none} (goal: none)"
