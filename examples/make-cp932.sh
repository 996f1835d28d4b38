#!/usr/bin/env bash
# Regenerates vocabulary-cp932.txt from vocabulary-utf8.txt: the same deck in code page 932, with
# CR LF line ends as older decks have them. Fails, leaving the old file, when a character of the
# UTF-8 deck has no code page 932 form.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp vocabulary-cp932.XXXXXX)
trap 'rm -f "$tmp"' EXIT
iconv -f UTF-8 -t CP932 vocabulary-utf8.txt | sed 's/$/\r/' >"$tmp"
chmod 644 "$tmp"
mv "$tmp" vocabulary-cp932.txt
trap - EXIT
