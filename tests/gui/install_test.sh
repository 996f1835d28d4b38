#!/usr/bin/env bash
# install_test.sh BUILD_DIR DATA_DIR: installs the build into a prefix of its own, checks the
# installed files and the desktop entry, then opens a deck the way a file manager does, through the
# desktop entry, on the display that with-display.sh provides.
set -uo pipefail
build=$1 data=$2
source "$(dirname "$0")/../script_support.sh"
prefix=$scratch

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }

echo "-- the installed files"
for program in tavrin tavrin-deck; do
  [[ -x "$prefix/bin/$program" ]] || fail "bin/$program is missing or not executable"
done
entry="$prefix/share/applications/io.github.tavrin.Tavrin.desktop"
icon="$prefix/share/icons/hicolor/32x32/apps/io.github.tavrin.Tavrin.png"
[[ -f "$entry" ]] || fail "no desktop entry"
[[ -f "$icon" ]] || fail "no icon"
[[ "$(identify -format '%m %wx%h' "$icon" 2>/dev/null)" == "PNG 32x32" ]] ||
  fail "the icon is no 32 by 32 PNG"

echo "-- the desktop entry"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[[ -z "$report" ]] || fail "desktop-file-validate has remarks: $report"
for line in 'Type=Application' 'Exec=tavrin %f' 'Icon=io.github.tavrin.Tavrin' \
  'Categories=Education;'; do
  grep -qxF "$line" "$entry" || fail "the desktop entry lacks '$line'"
done
# A type it names would make it the default program for that type where no other is set.
! grep -q '^MimeType=' "$entry" || fail "the desktop entry claims file types"

echo "-- tavrin-deck runs from the prefix"
"$prefix/bin/tavrin-deck" check "$data/gui-animals.txt" >/dev/null ||
  fail "tavrin-deck check of a sound deck"

echo "-- a file manager's Open With: the deck is the first argument"
ini="$XDG_CONFIG_HOME/tavrin/tavrin.ini"
deck="$data/gui-words-cp932.txt"
rm -rf "$XDG_CONFIG_HOME/tavrin"
PATH="$prefix/bin:$PATH" gio launch "$entry" "$deck" >/dev/null 2>&1 || fail "gio launch"
window=""
for _ in $(seq 200); do
  id=$(xdotool getactivewindow 2>/dev/null)
  if [[ -n "$id" && "$(xdotool getwindowname "$id" 2>/dev/null)" == Tavrin ]]; then
    window=$id
    break
  fi
  sleep 0.05
done
if [[ -n "$window" ]]; then
  pid=$(xdotool getwindowpid "$window" 2>/dev/null)
  [[ "$(readlink "/proc/$pid/exe")" == "$prefix/bin/tavrin" ]] || fail "not the installed program"
  sleep 0.5
  xdotool key alt+x
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "the program did not end on Alt+X"
    kill -KILL "$pid"
  fi
  grep -qxF "FileName=$deck" "$ini" || fail "the deck given by the desktop entry was not opened"
else
  fail "no main window after gio launch"
fi

finish
