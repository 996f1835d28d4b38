#!/usr/bin/env bash
# package_test.sh BUILD_DIR VERSION: builds the Debian package of BUILD_DIR with CPack into a
# scratch folder, checks its fields and files, unpacks it and runs both programs from there; then
# validates its AppStream metadata and manual pages (install_test.sh validates the desktop entry).
set -uo pipefail
build=$1 version=$2
source "$(dirname "$0")/script_support.sh"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$(find "$scratch" -maxdepth 1 -name "tavrin_${version}_*.deb")
[[ -f "$deb" ]] || { echo "FAIL: no tavrin_${version}_*.deb" >&2; exit 1; }
echo "-- $(basename "$deb")"

[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || fail "the package's version"
depends=$(dpkg-deb -f "$deb" Depends)
# libc6 and libwx come from the programs' links, the rest from the list.
for package in libc6 libwxgtk-webview3.2 fonts-noto-cjk gstreamer1.0-plugins-base \
  gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav gstreamer1.0-gl; do
  [[ "$depends" == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

id=io.github.tavrin.Tavrin
files=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in ./usr/bin/tavrin ./usr/bin/tavrin-deck ./usr/share/man/man1/tavrin.1.gz \
  ./usr/share/man/man1/tavrin-deck.1.gz ./usr/share/applications/$id.desktop \
  ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg; do
  grep -qxF "$file" <<<"$files" || fail "the package lacks $file"
done
root=$scratch/root
dpkg-deb -x "$deb" "$root"
for size in 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
  [[ "$(identify -format '%m %wx%h' "$icon" 2>/dev/null)" == "PNG ${size}x$size" ]] ||
    fail "no $size by $size PNG icon"
done

echo "-- the programs, run from the unpacked package without a display"
for program in tavrin tavrin-deck; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version 2>&1)
  [[ $? -eq 0 && "$out" == *"$version"* ]] || fail "$program --version: '$out'"
done

echo "-- the metadata and the manual pages"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "appstreamcli validate"
for page in tavrin tavrin-deck; do
  source=$root/usr/share/man/man1/$page.1.gz
  warnings=$(zcat "$source" | groff -ww -man -z 2>&1)
  [[ -z "$warnings" ]] || fail "groff on $page.1: $warnings"
  shown=$(MANWIDTH=80 man -l "$source" 2>&1 >/dev/null)
  [[ -z "$shown" ]] || fail "man -l $page.1: $shown"
  zcat "$source" | grep -q "^\.TH .*\"Tavrin $version\"" || fail "$page.1 does not name $version"
done

finish
