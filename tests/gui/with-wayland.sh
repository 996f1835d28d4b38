#!/usr/bin/env bash
# with-wayland.sh COMMAND [ARG...]: runs COMMAND on a Wayland compositor of its own: a headless
# sway with a seat but no keyboard, no Xwayland, every window floating, in a scratch folder that
# also holds its runtime folder and its sockets; and stops it afterwards. sway refuses to run as
# root, so under root it runs as nobody. Exits with COMMAND's exit status.
set -uo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-display-wayland.XXXXXX")
sway_pid=""
cleanup() {
  [[ -n "$sway_pid" ]] && kill "$sway_pid" 2>/dev/null && wait "$sway_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

as_user=()
if ((EUID == 0)); then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
mkdir -p "$work/runtime" "$work/config" "$work/cache" "$work/data"
chmod 700 "$work/runtime"
cat >"$work/sway.conf" <<'EOF'
xwayland disable
output * resolution 1280x1024
for_window [app_id=".*"] floating enable
EOF
((EUID == 0)) && chown -R nobody "$work/runtime" "$work/sway.conf" && chmod 755 "$work"

env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work/runtime" WLR_BACKENDS=headless \
  WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${as_user[@]}" \
  sway --config "$work/sway.conf" >"$work/sway.log" 2>&1 &
sway_pid=$!
# Ready once both the compositor's socket and its control socket are there.
for _ in $(seq 200); do
  sock=$(compgen -G "$work/runtime/sway-ipc.*.sock" | head -n1)
  display=$(compgen -G "$work/runtime/wayland-*[0-9]" | head -n1)
  [[ -n "$sock" && -S "$display" ]] && break
  kill -0 "$sway_pid" 2>/dev/null || break
  sleep 0.05
done
if [[ -z "${sock:-}" || ! -S "${display:-}" ]]; then
  echo "with-wayland.sh: sway did not start" >&2
  cat "$work/sway.log" >&2
  exit 125
fi

export SWAYSOCK="$sock" WAYLAND_DISPLAY="$(basename "$display")" XDG_RUNTIME_DIR="$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
export GDK_BACKEND=wayland NO_AT_BRIDGE=1
unset DISPLAY
"$@"
exit $?
