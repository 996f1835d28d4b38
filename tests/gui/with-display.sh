#!/usr/bin/env bash
# with-display.sh COMMAND [ARG...]: runs COMMAND on a display of its own: a fresh Xvfb server with
# openbox as window manager, private configuration, cache and runtime folders, and stops them all
# afterwards. Exits with COMMAND's exit status.
set -uo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-display.XXXXXX")
xvfb_pid=""
wm_pid=""
cleanup() {
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# Xvfb picks a free display number itself and writes it to the file descriptor, so that tests
# running side by side never race for one.
exec {fd}>"$work/display"
Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec {fd}>&-
for _ in $(seq 200); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 125; }
  sleep 0.05
done
[[ -s "$work/display" ]] || { echo "with-display.sh: Xvfb did not start" >&2; exit 125; }
export DISPLAY=":$(head -n1 "$work/display")"

mkdir -p "$work/config" "$work/cache" "$work/data" "$work/state" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
export XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime" NO_AT_BRIDGE=1 GDK_BACKEND=x11
unset WAYLAND_DISPLAY

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
# Ready once openbox announces that it activates windows on request.
for _ in $(seq 200); do
  xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW && break
  sleep 0.05
done
xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW ||
  { echo "with-display.sh: openbox did not start" >&2; cat "$work/openbox.log" >&2; exit 125; }

"$@"
exit $?
