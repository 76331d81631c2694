#!/bin/sh
# Draws the preview's picture of real recordings in every sample layout, without a
# display: the system's channel test sound converted to 8 and 16 bits, mono and stereo,
# and a spoken sentence in English and in German. Needs sox, the ALSA test sounds and
# espeak-ng (make picture-deps). Usage: tools/preview_pictures.sh BUILD_DIR OUT_DIR
set -eu
build=${1:-build}
out=${2:-$build/pictures}
cli="$build/veltrane-cli"
mkdir -p "$out"
# A settings file of its own: the pictures use the presets as given, nothing is counted.
export VELTRANE_SETTINGS="$out/settings.ini"

source_sound=/usr/share/sounds/alsa/Front_Center.wav
espeak-ng -w "$out/speech.wav" "Hello. This is a test of the preview. It shows the silences between the words, and the pauses between sentences."
espeak-ng -v de -w "$out/sprache.wav" "Guten Tag. Dies ist ein Test der Vorschau. Sie zeigt die Pausen zwischen den Sätzen."
for bits in 8 16; do
  for channels in 1 2; do
    name="front_center_${bits}bit_${channels}ch"
    sox "$source_sound" -b "$bits" -c "$channels" -r 22050 "$out/$name.wav"
    "$cli" plot --preset normal --normal-speed -o "$out/$name.png" "$out/$name.wav"
    name="speech_${bits}bit_${channels}ch"
    sox "$out/speech.wav" -b "$bits" -c "$channels" "$out/$name.wav"
    "$cli" plot --preset normal --normal-speed -o "$out/$name.png" "$out/$name.wav"
  done
done
# 16-bit at both speeds: what Double Speed changes in a 16-bit recording.
sox "$out/sprache.wav" -b 16 -c 1 "$out/sprache_16bit_1ch.wav"
"$cli" plot --preset normal --normal-speed -o "$out/sprache_normal_speed.png" "$out/sprache_16bit_1ch.wav"
"$cli" plot --preset normal --double-speed -o "$out/sprache_double_speed.png" "$out/sprache_16bit_1ch.wav"
"$cli" preview "$out"/*.wav
echo "Pictures in $out"
