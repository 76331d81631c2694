#!/usr/bin/env bash
# The whole-process cost of the reasons veltrane-cli gives when a scan records nothing,
# each beside what it is measured against, with the cache warm (hyperfine -N, mean):
#   - generate on 1 GB of noise (nothing found):        at most 2.0 x `cat FILE >/dev/null`
#   - generate on 106 MB of noise (nothing found):      at most 0.10 x ffmpeg's silencedetect
#   - preview on 1 GB, nothing found / silences found:  at most 4 x `cat FILE >/dev/null`
# Last measured on two cores: 1.78, 0.04, 2.5 / 2.5 (the README's table).
# Also whether generate's reported run time leaves the reasons out: the time a run reports
# with nothing found beside its whole-process time.
#   bench/reasons_limits.sh [BUILD_DIR]      (default: build)
# Needs sox, ffmpeg, hyperfine and jq, and about 2.2 GB in ${TMPDIR:-/tmp}; the
# recordings are kept there for the next run.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${TMPDIR:-/tmp}/veltrane-bench
mkdir -p "$work"
noise1g="$work/noise16-1g.wav" noise106="$work/noise16-106m.wav" speech1g="$work/stereo16-1g.wav"
# Pink noise never falls quiet long enough for any preset; the speech has its pauses.
[ -s "$noise1g" ] || sox -n -r 44100 -c 2 -b 16 "$noise1g" synth 5669 pinknoise vol 0.5
[ -s "$noise106" ] || sox -n -r 44100 -c 2 -b 16 "$noise106" synth 600 pinknoise vol 0.5
[ -s "$speech1g" ] || "$build/veltrane-synth" long "$speech1g" 1000000000 2 16 44100
. "$(dirname "$0")/settle.sh"
settle "$noise1g" "$noise106" "$speech1g"
export VELTRANE_SETTINGS="$work/reasons-settings.ini" LC_ALL=C QT_QPA_PLATFORM=offscreen
rm -f "$VELTRANE_SETTINGS"
cli="$build/veltrane-cli"

# The mean wall time of a command in milliseconds (hyperfine, no shell in between).
mean_ms() {
  hyperfine -N --warmup 2 --runs "${RUNS:-10}" --export-json "$work/h.json" "$1" >/dev/null 2>&1
  jq '.results[0].mean * 1000' "$work/h.json"
}
row() {  # label, ms, against label, against ms, goal
  awk -v l="$1" -v a="$2" -v bl="$3" -v b="$4" -v g="$5" 'BEGIN {
    printf "  %-44s %8.1f ms\n  %-44s %8.1f ms\n  %-44s %8.2f (goal: at most %s)\n",
      l, a, bl, b, "ratio", a / b, g }'
}

echo "The reasons for files in which nothing is found (cache warm, mean of ${RUNS:-10}):"
cat_1g=$(mean_ms "cat $noise1g")
gen_1g=$(mean_ms "$cli generate --preset normal --normal-speed $noise1g")
row "generate, 1 GB noise, nothing found" "$gen_1g" "cat FILE > /dev/null" "$cat_1g" 2.0
ff=$(mean_ms "ffmpeg -nostdin -v quiet -i $noise106 -af silencedetect -f null -")
gen_106=$(mean_ms "$cli generate --preset normal --normal-speed $noise106")
row "generate, 106 MB noise, nothing found" "$gen_106" "ffmpeg silencedetect" "$ff" 0.10
prev_none=$(mean_ms "$cli preview $noise1g")
row "preview, 1 GB noise, nothing found" "$prev_none" "cat FILE > /dev/null" "$cat_1g" 4
cat_s=$(mean_ms "cat $speech1g")
prev_some=$(mean_ms "$cli preview $speech1g")
row "preview, 1 GB speech, silences found" "$prev_some" "cat FILE > /dev/null" "$cat_s" 4

# The run's own time leaves the reasons out.
"$cli" generate --preset normal --normal-speed "$noise1g" >"$work/out.txt" 2>&1
echo "  generate's own report on 1 GB noise: $(grep -o 'completed in [0-9.]* seconds' "$work/out.txt")"
