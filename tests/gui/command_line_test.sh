#!/usr/bin/env bash
# command_line_test.sh TAVRIN VERSION: the desktop program's options and its start without a
# display, all with no display at all.
set -uo pipefail
tavrin=$1 version=$2
source "$(dirname "$0")/../script_support.sh"

# run [DISPLAY] -- ARGS...: runs the program in the scratch folder without WAYLAND_DISPLAY, with
# DISPLAY as given (none when empty); sets status, out and err.
run() {
  local display=$1
  shift 2
  (cd "$scratch" && env -u WAYLAND_DISPLAY -u DISPLAY ${display:+DISPLAY=$display} "$tavrin" "$@" \
    >out 2>err)
  status=$? out=$(cat "$scratch/out") err=$(cat "$scratch/err")
}

run '' -- --version
[[ $status -eq 0 && "$out" == "tavrin $version" && -z "$err" ]] ||
  fail "--version: status $status, out '$out', err '$err'"
for option in --help -h; do
  run '' -- "$option"
  [[ $status -eq 0 && "$out" == "usage: tavrin [DECK]"* && -z "$err" ]] ||
    fail "$option: status $status, out '$out', err '$err'"
done
run '' -- --bogus
[[ $status -eq 2 && -z "$out" && "$(head -n1 <<<"$err")" == "tavrin: unknown option '--bogus'" &&
  "$err" == *"usage: tavrin [DECK]"* ]] || fail "--bogus: status $status, err '$err'"

echo "-- without a display: one line, exit status 1"
expected="tavrin: cannot open the display: DISPLAY is not set"
run '' --
[[ $status -eq 1 && "$err" == "$expected" ]] || fail "no display: status $status, err '$err'"
# A deck called --help is a deck: the program goes for its window.
: >"$scratch/--help"
run '' -- --help
[[ $status -eq 1 && "$err" == "$expected" ]] || fail "deck --help: status $status, err '$err'"
run :4242 --
[[ $status -eq 1 && "$err" == "${expected%%: DISPLAY*}: no X server answers at DISPLAY=:4242" ]] ||
  fail "DISPLAY of no server: status $status, err '$err'"

finish
