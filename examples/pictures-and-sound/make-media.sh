#!/usr/bin/env bash
# Regenerates the picture and the sound of the deck beside this script: sun.png, a sun on a blue
# sky drawn by ImageMagick, and a440.wav, one second of a 440 Hz tone (16-bit mono, 16,000
# samples a second, faded in and out so that it starts and stops without a click) written by
# Python's standard library.
set -euo pipefail
cd "$(dirname "$0")"
rays=()
for angle in 0 45 90 135 180 225 270 315; do
  rays+=(-draw "translate 48,48 rotate $angle line 0,-42 0,-31")
done
convert -size 96x96 xc:'#87ceeb' -stroke '#ff8c00' -strokewidth 4 "${rays[@]}" \
  -fill '#ffd700' -strokewidth 3 -draw 'circle 48,48 48,24' \
  -depth 8 -strip -define png:exclude-chunks=date,time sun.png
python3 - <<'PY'
import math
import struct
import wave

rate, freq, amplitude = 16000, 440.0, 12000
count, fade = rate, rate // 20
samples = bytearray()
for i in range(count):
    envelope = min(1.0, i / fade, (count - 1 - i) / fade)
    samples += struct.pack("<h", round(amplitude * envelope * math.sin(2 * math.pi * freq * i / rate)))
with wave.open("a440.wav", "wb") as out:
    out.setnchannels(1)
    out.setsampwidth(2)
    out.setframerate(rate)
    out.writeframes(bytes(samples))
PY
