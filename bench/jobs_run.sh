#!/usr/bin/env bash
# Entire Folder over the voice recordings of Debian's asterisk-core-sounds-en-wav and
# -fr-wav packages, with --jobs 2 beside --jobs 1 (goal: at most 0.65 times), cache warm.
#   bench/jobs_run.sh [BUILD_DIR]      (default: build; needs hyperfine and the packages)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${TMPDIR:-/tmp}/veltrane-bench/asterisk
if [ ! -d "$work" ] || [ -z "$(ls "$work")" ]; then
  mkdir -p "$work"
  # One folder: the files of every language and folder, named apart by their path.
  dpkg -L asterisk-core-sounds-en-wav asterisk-core-sounds-fr-wav | grep '\.wav$' |
    while read -r f; do cp "$f" "$work/$(printf '%s' "$f" | md5sum | cut -c1-8)-${f##*/}"; done
fi
files=("$work"/*.wav)
export VELTRANE_SETTINGS="$work/../asterisk-settings.ini" LC_ALL=C
run="$build/veltrane-cli generate --method folder ${files[0]}"
hyperfine -N -w 2 -r 10 --export-json "$work/../jobs.json" "$run --jobs 1" "$run --jobs 2" >/dev/null 2>&1
python3 - "$work/../jobs.json" "${#files[@]}" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
one, two = (x["median"] * 1000 for x in r)
print(f"Entire Folder over {sys.argv[2]} voice recordings (asterisk-core-sounds en + fr), cache warm:")
print(f"  --jobs 1                   {one:.0f} ms")
print(f"  --jobs 2                   {two:.0f} ms")
print(f"  ratio                      {two / one:.2f} (goal: at most 0.65)")
PY
