#!/usr/bin/env bash
# Takes the pictures of the manuals from the real program, in English and in German, in
# a virtual X server of its own. Run it after a build whenever the window has changed:
#
#   tools/screenshots.sh [BUILD_FOLDER]        (default: build; `make screenshots` does both)
#
# It writes data/manual/LANG/pictures/ (LANG = en, de):
#   question.png  the question when the program is started with a file
#   window.png    the window with the example recording loaded
#   done.png      the same after Generate
#   rook.png      Rook/Debug mode with the statistics and the Log box ticked
#   nothing.png   the message of a Single File run that finds no silence
#   preview.png   the preview of a spoken sentence at Normal with Double Speed, beside the
#                 GAP file that an earlier run made with Noisy
#   why.png       the preview of the same sentence at normal speed: nothing found, and why
#
# Needs Xvfb (xvfb), xdotool, import (imagemagick), espeak-ng and sox, and the fonts of
# fonts-liberation2 and fonts-dejavu-core; openbox, when present, draws the title bars.
# The program sees those fonts only, whatever else is installed, so that the pictures
# show what a fresh Debian shows after `make deps`; the font files it used are listed at
# the end. Nothing outside a temporary folder is touched: the program runs from a copy
# with a settings file of its own.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
for tool in Xvfb xdotool import espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: needs $tool (make screenshots installs it)" >&2; exit 2; }
done
for f in veltrane veltrane-cli data.qlm example/take001.wav; do
  [ -e "$build/$f" ] || { echo "screenshots.sh: $build/$f is missing; build first" >&2; exit 2; }
done
fonts=$(dpkg -L fonts-liberation2 fonts-dejavu-core 2>/dev/null | grep -E '\.(ttf|otf)$' || true)
if ! grep -q /LiberationSans-Regular <<<"$fonts" || ! grep -q /DejaVuSans.ttf <<<"$fonts"; then
  echo "screenshots.sh: needs fonts-liberation2 and fonts-dejavu-core (make screenshots installs them)" >&2
  exit 2
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The fonts of a fresh Debian after `make deps`: Liberation (of the same widths as Arial,
# Times and Courier) and DejaVu, which fontconfig brings along; the system's font rules
# (aliases, hinting) still apply.
mkdir -p "$work/fonts" "$work/fontcache"
while read -r f; do ln -s "$f" "$work/fonts/"; done <<<"$fonts"
cat >"$work/fonts.conf" <<END
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$work/fonts</dir>
  <cachedir>$work/fontcache</cachedir>
  <include ignore_missing="yes">/etc/fonts/conf.d</include>
</fontconfig>
END
export FONTCONFIG_FILE="$work/fonts.conf"

# A display of our own, with a window manager when there is one.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshots.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"
if command -v openbox >/dev/null; then
  openbox >"$work/openbox.log" 2>&1 &
  pids+=($!)
  sleep 1
fi

# The program folder, the user's folders and the recordings, all in the work folder.
mkdir -p "$work/program" "$work/home" "$work/runtime" "$work/Recordings"
chmod 700 "$work/runtime"
cp "$build/veltrane" "$build/data.qlm" "$work/program/"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
export VELTRANE_SETTINGS="$work/settings.ini"

# A recording that holds no silence: three seconds of noise, 8-bit mono at 8000 Hz.
le32() {
  local v=$1
  printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $(((v >> 8) & 255)))"
  printf "\\x$(printf %02x $(((v >> 16) & 255)))\\x$(printf %02x $(((v >> 24) & 255)))"
}
noise=24000
{
  printf 'RIFF'; le32 $((36 + noise)); printf 'WAVEfmt '; le32 16
  printf '\x01\x00\x01\x00'; le32 8000; le32 8000; printf '\x01\x00\x08\x00'
  printf 'data'; le32 $noise; head -c $noise /dev/urandom
} >"$work/Recordings/noise.wav"

# A spoken sentence in each language, 16-bit mono, over a faint noise like that of a
# room: Double Speed finds its pauses, normal speed finds none (the noise is far louder
# than the narrow band a 16-bit scan at normal speed has). -R: the same noise every time.
speak() {  # speak VOICE NAME TEXT
  espeak-ng -v "$1" -w "$work/voice.wav" "$3"
  sox -R -n -r 22050 -c 1 -b 16 "$work/room.wav" synth "$(soxi -D "$work/voice.wav")" pinknoise vol 0.004
  sox -R -m -v 1 "$work/voice.wav" -v 1 "$work/room.wav" -b 16 "$work/Recordings/$2"
}
speak en speech.wav "Veltrane finds the pauses in speech. Each silence is shaded in blue. The list below gives its start, its end and its length."
speak de sprache.wav "Veltrane findet die Pausen in Sprachaufnahmen. Jede Stille ist blau hinterlegt. Die Liste darunter nennt Beginn, Ende und Länge."

program=""
start() {
  "$work/program/veltrane" "$@" >>"$work/program.log" 2>&1 &
  program=$!
  pids+=("$program")
}
stop() {
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  sleep 0.5
}

# The id of the visible window titled exactly $1 whose width lies in [$2, $3] pixels.
find_window() {
  local title=$1 min=$2 max=$3 id w
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null); do
      [ "$(xdotool getwindowname "$id")" = "$title" ] || continue
      w=$(xdotool getwindowgeometry --shell "$id" | sed -n 's/^WIDTH=//p')
      if [ "$w" -ge "$min" ] && [ "$w" -le "$max" ]; then echo "$id"; return; fi
    done
    sleep 0.1
  done
  echo "screenshots.sh: no window \"$title\" appeared" >&2
  cat "$work/program.log" >&2
  exit 1
}

press() {  # press WINDOW KEY: the window gets the focus, then the key
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  xdotool key "$2"
}

shoot() {  # shoot WINDOW FILE: the window with its frame, without the pointer
  xdotool mousemove 1023 767
  sleep 0.7
  import -frame -window "$1" -strip -define png:exclude-chunks=date,time "$2"
  # The font files the program has open.
  grep -oE '/[^ ]+\.(ttf|otf|ttc|pfb)$' "/proc/$program/maps" >>"$work/fonts-used" 2>/dev/null || true
  echo "  $(basename "$(dirname "$(dirname "$2")")")/pictures/$(basename "$2")"
}

question="What to you wish to do?"
for lang in en de; do
  out="$root/data/manual/$lang/pictures"
  mkdir -p "$out"
  rm -f "$work/Recordings/"*.gap "$work/program/log.txt"
  cp "$build/example/take001.wav" "$work/Recordings/take001.wav"
  # The stored language is the one to switch away from: 2 starts in English, 1 in German.
  printf '[Startup Values]\nLog=0\nLanguage=%s\n' "$([ $lang = en ] && echo 2 || echo 1)" \
    >"$VELTRANE_SETTINGS"

  # Started with a recording: the question, then the window with the file loaded.
  start "$work/Recordings/take001.wav"
  box=$(find_window "$question" 200 900)
  shoot "$box" "$out/question.png"
  press "$box" Escape
  main=$(find_window Veltrane 400 1000)
  shoot "$main" "$out/window.png"
  # Generate (the second button of the column).
  xdotool mousemove --window "$main" 48 44 click 1
  sleep 2
  shoot "$main" "$out/done.png"
  stop

  # Rook/Debug mode, entered as loading "rook.wav" would, with logging on.
  sed -i -e 's/^Log=0/Log=1/' -e '/^\[001\]/a 020=1' "$VELTRANE_SETTINGS"
  start "$work/Recordings/take001.wav"
  press "$(find_window "$question" 200 900)" Escape
  main=$(find_window Veltrane 600 1000)
  shoot "$main" "$out/rook.png"
  stop

  # A single file without any silence, generated at once from the question.
  sed -i -e 's/^Log=1/Log=0/' -e '/^020=1/d' "$VELTRANE_SETTINGS"
  start "$work/Recordings/noise.wav"
  press "$(find_window "$question" 200 900)" Return
  box=$(find_window Veltrane 100 600)
  shoot "$box" "$out/nothing.png"
  stop

  # The preview (Ctrl+P) of the spoken sentence at Normal with Double Speed, beside the
  # GAP file of an earlier run with Noisy; the other settings file keeps that run out of
  # the statistics.
  speech=$([ $lang = en ] && echo speech.wav || echo sprache.wav)
  title=$([ $lang = en ] && echo "Preview – $speech" || echo "Vorschau – $speech")
  VELTRANE_SETTINGS="$work/cli.ini" "$build/veltrane-cli" generate --preset noisy --double-speed \
    "$work/Recordings/$speech" >/dev/null
  printf '[Startup Values]\nLog=0\nLanguage=%s\nSelection=1\nDouble_Speed=1\n' \
    "$([ $lang = en ] && echo 2 || echo 1)" >"$VELTRANE_SETTINGS"
  start "$work/Recordings/$speech"
  press "$(find_window "$question" 200 900)" Escape
  press "$(find_window Veltrane 400 1000)" ctrl+p
  preview=$(find_window "$title" 600 1200)
  sleep 1
  shoot "$preview" "$out/preview.png"
  stop

  # The same at normal speed, without a GAP file: nothing found, and the reasons.
  rm -f "$work/Recordings/"*.gap
  sed -i 's/^Double_Speed=1/Double_Speed=0/' "$VELTRANE_SETTINGS"
  start "$work/Recordings/$speech"
  press "$(find_window "$question" 200 900)" Escape
  press "$(find_window Veltrane 400 1000)" ctrl+p
  preview=$(find_window "$title" 600 1200)
  sleep 2
  shoot "$preview" "$out/why.png"
  stop
done

echo "Font files used:"
sort -u "$work/fonts-used" | while read -r f; do
  echo "  $f ($(dpkg -S "$f" 2>/dev/null | cut -d: -f1 || true))"
done
