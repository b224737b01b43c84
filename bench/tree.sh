#!/bin/sh
# Converting a tree: 20,000 files in 200 directories, 15% "txt"/"csc" files
# with LF line ends, 15% already with CR LF, 70% other files; with
# SHAPE=tiny, 4,000 "txt" files of under 1 KiB with LF line ends in 40
# directories, every one to be converted. dravick is timed against
# unix2dos run by find on every candidate (find -exec, and find | xargs
# with -k), and against find reading every candidate once with cat (the
# floor for any tool that must look inside each). With FLOOR set to a built
# safe-replace floor, also against that floor without flushes (the least
# work for a tree of replaces) and with --flush (each file's new content
# flushed before its rename, which dravick's own replace promises too).
# Every run works on a fresh copy; the contenders take turns; the median
# and the worst of the runs are printed.
#
# Also `dravick --check` on the converted tree, which needs no change. With
# BASE set to another build of dravick, that one takes its turns too.
#
# Usage: bench/tree.sh            (RUNS=5 by default; FLOOR=path/to/floor; SHAPE=tiny)
set -eu

shape=${SHAPE:-mixed}
work=$(cd "$(dirname "$0")" && pwd)/work/tree-$shape
. "$(dirname "$0")/common.sh"

mkdir -p "$work"
template=$work/template
if [ ! -f "$work/template.done" ]; then
  rm -rf "$template"
  mkdir -p "$template"
  # One awk run writes every file: lines of varied length, 1 to 8 KiB a file.
  awk -v top="$template" -v tiny="$([ "$shape" = tiny ] && echo 1 || echo 0)" 'BEGIN {
    srand(11)
    dirs = tiny ? 40 : 200
    for (d = 0; d < dirs; d++) {
      dir = sprintf("%s/d%03d", top, d)
      system("mkdir -p " dir)
      for (f = 0; f < 100; f++) {
        n = d * 100 + f
        kind = tiny ? 0 : n % 20
        if (kind < 3)      { ext = (n % 3 == 0) ? "txt" : (n % 3 == 1) ? "TXT" : "csc"; eol = "\n" }
        else if (kind < 6) { ext = (n % 3 == 0) ? "txt" : (n % 3 == 1) ? "Txt" : "csc"; eol = "\r\n" }
        else               { ext = (n % 5 == 0) ? "c" : (n % 5 == 1) ? "md" : (n % 5 == 2) ? "dat" : (n % 5 == 3) ? "log" : "h"; eol = "\n" }
        file = sprintf("%s/f%05d.%s", dir, n, ext)
        size = tiny ? 64 + int(rand() * 900) : 1024 + int(rand() * 7168)
        written = 0
        while (written < size) {
          len = int(rand() * 90)
          line = substr("The quick brown fox jumps over the lazy dog; 0123456789 pack my box with five dozen liquor jugs.", 1, len)
          printf "%s%s", line, eol > file
          written += len + length(eol)
        }
        close(file)
      }
    }
  }'
  touch "$work/template.done"
fi

fresh() {
  rm -rf "$work/target"
  cp -a "$template" "$work/target"
  sync
}

# Runs one contender (a shell command on $work/target); appends its time.
measure() {
  name=$1
  command=$2
  fresh
  start=$(now)
  sh -c "$command" >/dev/null
  end=$(now)
  echo "$(( (end - start) / 1000 ))" >> "$work/$name.runs"
}

find_candidates="find '$work/target' -type f \\( -iname '*.txt' -o -iname '*.csc' \\)"

rm -f "$work"/*.runs
for run in $(seq "$runs"); do
  measure dravick "'$tool' '$work/target'"
  rm -rf "$work/dravick.out"
  mv "$work/target" "$work/dravick.out"
  if [ -n "${BASE:-}" ]; then
    measure base "'$BASE' '$work/target'"
    diff -r -q "$work/target" "$work/dravick.out" >/dev/null || { echo "dravick and the base differ" >&2; exit 1; }
  fi
  # A check run over the converted tree, against reading its candidates.
  for name in check basecheck; do
    [ "$name" = basecheck ] && [ -z "${BASE:-}" ] && continue
    program=$tool
    [ "$name" = basecheck ] && program=$BASE
    sync
    start=$(now)
    "$program" --check "$work/dravick.out" >/dev/null || true
    end=$(now)
    echo "$(( (end - start) / 1000 ))" >> "$work/$name.runs"
  done
  sync
  start=$(now)
  find "$work/dravick.out" -type f \( -iname '*.txt' -o -iname '*.csc' \) -exec cat {} + >/dev/null
  end=$(now)
  echo "$(( (end - start) / 1000 ))" >> "$work/checkfloor.runs"
  measure unix2dos "$find_candidates -exec unix2dos -q {} +"
  diff -r -q "$work/target" "$work/dravick.out" >/dev/null || { echo "dravick and unix2dos differ" >&2; exit 1; }
  measure xargs "$find_candidates -print0 | xargs -0 unix2dos -k -q"
  diff -r -q "$work/target" "$work/dravick.out" >/dev/null || { echo "dravick and unix2dos -k differ" >&2; exit 1; }
  measure floor "$find_candidates -exec cat {} +"
  if [ -n "${FLOOR:-}" ]; then
    measure flush "'$FLOOR' --flush '$work/target'"
    diff -r -q "$work/target" "$work/dravick.out" >/dev/null || { echo "dravick and the floor differ" >&2; exit 1; }
    measure noflush "'$FLOOR' '$work/target'"
  fi
done

worst() { sort -n "$work/$1.runs" | tail -1; }

best() { sort -n "$work/$1.runs" | head -1; }
d=$(median dravick); u=$(median unix2dos); f=$(median floor); x=$(median xargs)
dw=$(worst dravick); uw=$(worst unix2dos); fw=$(worst floor); xw=$(worst xargs)
db=$(best dravick); xb=$(best xargs)
s=0; sw=0; n=0; nw=0
if [ -n "${FLOOR:-}" ]; then s=$(median flush); sw=$(worst flush); n=$(median noflush); nw=$(worst noflush); fi
title="20,000 files in 200 directories"
[ "$shape" = tiny ] && title="4,000 files of under 1 KiB in 40 directories"
awk -v d="$d" -v u="$u" -v f="$f" -v s="$s" -v n="$n" -v x="$x" -v dw="$dw" -v uw="$uw" -v fw="$fw" \
    -v sw="$sw" -v nw="$nw" -v xw="$xw" -v db="$db" -v xb="$xb" -v runs="$runs" -v title="$title" 'BEGIN {
  printf "%s, %d runs     median     worst\n", title, runs
  printf "  dravick                  %8.3f s %8.3f s  (fastest %.3f s)\n", d / 1e6, dw / 1e6, db / 1e6
  printf "  find -exec unix2dos      %8.3f s %8.3f s\n", u / 1e6, uw / 1e6
  printf "  find | xargs unix2dos -k %8.3f s %8.3f s  (fastest %.3f s)\n", x / 1e6, xw / 1e6, xb / 1e6
  printf "  find -exec cat (floor)   %8.3f s %8.3f s\n", f / 1e6, fw / 1e6
  if (s > 0) {
    printf "  floor, no flush          %8.3f s %8.3f s\n", n / 1e6, nw / 1e6
    printf "  floor --flush            %8.3f s %8.3f s\n", s / 1e6, sw / 1e6
  }
  printf "  unix2dos / dravick       %8.2f x\n", u / d
  printf "  unix2dos -k / dravick    %8.2f x   (goal >= 1.2 on tiny files)\n", x / d
  printf "  dravick / floor          %8.2f x\n", d / f
  if (s > 0) {
    printf "  dravick / floor --flush  %8.2f x   worst %.2f x (goal <= 0.7)\n", d / s, dw / sw
    printf "  dravick / floor no flush %8.2f x   worst %.2f x (goal <= 1.2)\n", d / n, dw / nw
  }
}'
c=$(median check); cf=$(median checkfloor)
echo "converted tree: dravick --check $(awk -v c="$c" 'BEGIN { printf "%.3f", c / 1e6 }') s, find -exec cat $(awk -v c="$cf" 'BEGIN { printf "%.3f", c / 1e6 }') s: $(awk -v c="$c" -v f="$cf" 'BEGIN { printf "%.2f", f / c }') x faster (goal >= 1.5)"
if [ -n "${BASE:-}" ]; then
  b=$(median base); bw=$(worst base); bc=$(median basecheck)
  awk -v b="$b" -v bw="$bw" -v bc="$bc" -v d="$d" -v c="$c" 'BEGIN {
    printf "base: %.3f s (worst %.3f s), base / dravick %.2f x; base --check %.3f s, base / dravick %.2f x\n", b / 1e6, bw / 1e6, b / d, bc / 1e6, bc / c }'
fi
