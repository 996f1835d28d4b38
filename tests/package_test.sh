#!/usr/bin/env bash
# package_test.sh BUILD_DIR VERSION: builds the Debian package of BUILD_DIR with CPack into a
# scratch folder, checks its fields and files, unpacks it and runs both programs from there; then
# validates its AppStream metadata and manual pages, checks that text files keep their default
# program, and runs lintian (install_test.sh validates the desktop entry).
set -uo pipefail
build=$1 version=$2
source "$(dirname "$0")/script_support.sh"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$(find "$scratch" -maxdepth 1 -name "tavrin_${version}_*.deb")
[[ -f "$deb" ]] || { echo "FAIL: no tavrin_${version}_*.deb" >&2; exit 1; }
echo "-- $(basename "$deb")"

[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || fail "the package's version"
# FIELD PACKAGE: what starts the programs and shows pages is a Depends; the fonts, the plugins of
# less common media and the sound output are Recommends, so that a learner can leave them out.
while read -r field package; do
  value=$(dpkg-deb -f "$deb" "$field")
  [[ ", $value," == *", $package"[\ ,]* ]] || fail "$field lacks $package: $value"
done <<'ROWS'
Depends libc6
Depends libwxgtk-webview3.2-1
Depends gstreamer1.0-plugins-base
Depends gstreamer1.0-plugins-good
Recommends fonts-noto-cjk
Recommends gstreamer1.0-plugins-bad
Recommends gstreamer1.0-libav
Recommends gstreamer1.0-gl
Recommends pipewire-pulse | pulseaudio
ROWS
[[ -z "$(dpkg-deb -f "$deb" Homepage)" ]] || fail "a Homepage field"

id=io.github.tavrin.Tavrin
files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|/$||')
doc=./usr/share/doc/tavrin
for file in ./usr/bin/tavrin ./usr/bin/tavrin-deck ./usr/share/man/man1/tavrin.1.gz \
  ./usr/share/man/man1/tavrin-deck.1.gz ./usr/share/applications/$id.desktop \
  ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg \
  $doc/copyright $doc/changelog.gz $doc/README.md $doc/examples/vocabulary-cp932.txt \
  $doc/examples/pictures-and-sound/deck.txt $doc/examples/pictures-and-sound/a440.wav; do
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
  # Every installed file that a page's examples name is in the package.
  for named in $(zcat "$source" | sed 's/\\-/-/g; s/\\f[BIR]//g' | grep -o '/usr/share/[^ ]*[^ /]' |
    sort -u); do
    grep -qxF ".$named" <<<"$files" || fail "$page.1 names $named, which the package lacks"
  done
done
# tavrin-deck's examples run in the examples' folder.
for named in $(zcat "$root/usr/share/man/man1/tavrin-deck.1.gz" |
  grep -o '^\.B tavrin\\-deck [a-z]* [^ ]*' | awk '{ print $4 }' | sed 's/\\-/-/g'); do
  grep -qxF "$doc/examples/$named" <<<"$files" || fail "tavrin-deck.1 names $named, not installed"
done
zcat "$root/usr/share/doc/tavrin/changelog.gz" | head -n1 | grep -qF "tavrin ($version)" ||
  fail "the changelog does not begin at $version"
grep -qF "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metadata has no release $version"
for file in usr/share/metainfo/$id.metainfo.xml usr/share/applications/$id.desktop; do
  ! grep -n 'https\?://' "$root/$file" || fail "$file names a web address"
done

echo "-- text files keep their default program"
# gio mime text/plain in a scratch XDG tree, before and after the package's files join it, on a
# system without another program for text files and on one with an editor for them.
mime_report() {
  env -u XDG_CURRENT_DESKTOP PATH="$root/usr/bin:$PATH" XDG_DATA_HOME="$scratch/home/data" \
    XDG_CONFIG_HOME="$scratch/home/config" XDG_CONFIG_DIRS="$scratch/home/etc" \
    XDG_DATA_DIRS="$1" gio mime text/plain 2>&1
}
mkdir -p "$scratch/home/data" "$scratch/home/config" "$scratch/home/etc" "$scratch/editor/applications"
printf '%s\n' '[Desktop Entry]' 'Type=Application' 'Name=Editor' 'Exec=cat %F' \
  'MimeType=text/plain;' >"$scratch/editor/applications/editor.desktop"
update-desktop-database "$root/usr/share/applications" "$scratch/editor/applications"
for system in "$scratch/none" "$scratch/editor"; do
  before=$(mime_report "$system")
  after=$(mime_report "$system:$root/usr/share")
  [[ "$after" == "$before" ]] || fail "installing changes gio mime text/plain: '$before' -> '$after'"
done

echo "-- lintian, Debian profile"
started=$SECONDS
lintian --profile debian --fail-on error,warning "$deb" || fail "lintian: an error or a warning"
echo "lintian took $((SECONDS - started)) s"

finish
