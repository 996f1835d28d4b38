#!/usr/bin/env bash
# sound_test.sh TAVRIN TONE_WAV: a page's sound reaches a sound server. On the display that
# with-display.sh provides, starts a PulseAudio server of its own with a null sink, in a folder it
# made, then a deck whose page plays the tone when clicked; the sink's monitor must hear it. Ends
# the server and the program it started, and nothing else.
set -uo pipefail
tavrin=$1 tone=$2
source "$(dirname "$0")/../script_support.sh"
sink=tavrin_test
started=() # the sound server, the program and the recorder, ended by their ids
trap 'kill "${started[@]}" 2>/dev/null; wait; rm -rf "$scratch"' EXIT

mkdir -p "$scratch/pulse" "$scratch/deck"
chmod 700 "$scratch/pulse"
export PULSE_SERVER="unix:$scratch/pulse/native" PULSE_RUNTIME_PATH="$scratch/pulse"
HOME="$scratch" XDG_CONFIG_HOME="$scratch/pulse" pulseaudio -n --daemonize=no --use-pid-file=no \
  --exit-idle-time=-1 --realtime=no --high-priority=no --disable-shm=yes \
  -L "module-native-protocol-unix socket=$scratch/pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=$sink" >"$scratch/pulse.log" 2>&1 &
started+=($!)
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.05
done
pactl info >/dev/null 2>&1 || { cat "$scratch/pulse.log" >&2; echo "FAIL: no sound server" >&2; exit 1; }
pactl set-default-sink "$sink"

# A page that is one big button; a click is the gesture that lets a page play sound.
cp "$tone" "$scratch/deck/tone.wav"
printf '%s\n' '|' 'OuterHead=<html><body style="margin:0">|OuterFoot=</body></html>' \
  '<button style="width:100vw;height:100vh" onclick="tone.play()">play</button><audio id=tone loop src="tone.wav"></audio>' \
  >"$scratch/deck/deck.txt"
"$tavrin" "$scratch/deck/deck.txt" >"$scratch/tavrin.log" 2>&1 &
program=$!
started+=("$program")

echo "-- a click on the page plays its tone into the null sink"
# Silence on a null sink's monitor is all bytes 128 in unsigned 8-bit samples.
parec -d "$sink.monitor" --latency-msec=100 --raw --format=u8 --channels=1 --rate=8000 \
  >"$scratch/heard.raw" 2>/dev/null &
started+=($!)
heard=0
for _ in $(seq 30); do
  window=$(xdotool search --onlyvisible --pid "$program" --name '^Tavrin$' 2>/dev/null | head -n1)
  [[ -n "$window" ]] &&
    xdotool windowactivate --sync "$window" mousemove --window "$window" 200 150 click 1 2>/dev/null
  sleep 1
  heard=$(od -An -v -tu1 "$scratch/heard.raw" | tr -s ' \n' '\n' | grep -cv '^\(128\|\)$')
  ((heard > 1000)) && break
done
((heard > 1000)) || fail "the sink heard nothing (non-silent samples: $heard)"
pactl list sink-inputs | grep -qF 'application.process.id = "' ||
  fail "no stream from the page reached a sink"

finish
