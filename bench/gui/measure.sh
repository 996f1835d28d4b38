#!/usr/bin/env bash
# measure.sh GUI_BENCH FLOOR DECK PRESSES STARTS: the measuring part of bench/gui/run, run on the
# display that with-display.sh provides.
set -uo pipefail
gui_bench=$1 floor=$2 deck=$3 presses=$4 starts=$5
pages=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-gui-bench.XXXXXX")
trap 'rm -rf "$pages"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.3f", v[int((NR + 1) / 2)]; else printf "nan" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a == a) printf "%.2f", a / b; else printf "nan" }'; }
verdict() { awk -v r="$1" -v l="$2" 'BEGIN { if (r == "nan") print "NOT MEASURED"; else if (r <= l) print "ok"; else print "OVER" }'; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }

echo "== Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) CPUs," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== Deck: $deck"
"$gui_bench" pages "$deck" "$presses" "$pages" || echo "pages could not be written"

echo "== OK press to page loaded ($presses presses each)"
tavrin_out=$("$gui_bench" presses "$deck" "$presses" 2>/dev/null | tee /dev/stderr) 2>&1
floor_out=$("$floor" presses "$pages" "$presses" 2>/dev/null)
echo "$floor_out"
t=$(echo "$tavrin_out" | grep '^tavrin ok-press-to-loaded' | field median)
f=$(echo "$floor_out" | field median)
r=$(ratio "${t:-nan}" "${f:-0}")
echo "press: tavrin ${t:-nan} ms, floor ${f:-nan} ms, ratio $r (limit 1.2) $(verdict "$r" 1.2)"

echo "== Start to title page ($starts starts each, alternating; median)"
: >"$pages/tavrin-starts"
: >"$pages/floor-starts"
for _ in $(seq "$starts"); do
  BENCH_T0_NS=$(date +%s%N) "$gui_bench" startup "$deck" 2>/dev/null |
    sed -n 's/^tavrin start-to-title-page-ms //p' >>"$pages/tavrin-starts"
  BENCH_T0_NS=$(date +%s%N) "$floor" startup "$pages/0000.html" 2>/dev/null |
    sed -n 's/^floor start-to-first-page-ms //p' >>"$pages/floor-starts"
done
t=$(median <"$pages/tavrin-starts")
f=$(median <"$pages/floor-starts")
r=$(ratio "$t" "$f")
echo "start: tavrin $t ms, floor $f ms ($(wc -l <"$pages/tavrin-starts")/$(wc -l <"$pages/floor-starts") runs), ratio $r (limit 1.2) $(verdict "$r" 1.2)"
exit 0
