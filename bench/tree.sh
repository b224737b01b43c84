#!/bin/sh
# Converting a tree: 20,000 files in 200 directories, 15% "txt"/"csc" files
# with LF line ends, 15% already with CR LF, 70% other files. dravick is
# timed against unix2dos run by find on every candidate, and against find
# reading every candidate once with cat (the floor for any tool that must
# look inside each). With FLOOR set to a built safe-replace floor, also
# against that floor run with --flush: the least work for a replace whose
# new content reaches the disk first, which dravick's own replace does.
# Every run works on a fresh copy; the contenders take turns; the median
# and the worst of the runs are printed.
#
# Also `dravick --check` on the converted tree, which needs no change. With
# BASE set to another build of dravick, that one takes its turns too.
#
# Usage: bench/tree.sh            (RUNS=5 by default; FLOOR=path/to/floor)
set -eu

work=$(cd "$(dirname "$0")" && pwd)/work/tree
. "$(dirname "$0")/common.sh"

mkdir -p "$work"
template=$work/template
if [ ! -f "$work/template.done" ]; then
  rm -rf "$template"
  mkdir -p "$template"
  # One awk run writes every file: lines of varied length, 1 to 8 KiB a file.
  awk -v top="$template" 'BEGIN {
    srand(11)
    for (d = 0; d < 200; d++) {
      dir = sprintf("%s/d%03d", top, d)
      system("mkdir -p " dir)
      for (f = 0; f < 100; f++) {
        n = d * 100 + f
        kind = n % 20
        if (kind < 3)      { ext = (n % 3 == 0) ? "txt" : (n % 3 == 1) ? "TXT" : "csc"; eol = "\n" }
        else if (kind < 6) { ext = (n % 3 == 0) ? "txt" : (n % 3 == 1) ? "Txt" : "csc"; eol = "\r\n" }
        else               { ext = (n % 5 == 0) ? "c" : (n % 5 == 1) ? "md" : (n % 5 == 2) ? "dat" : (n % 5 == 3) ? "log" : "h"; eol = "\n" }
        file = sprintf("%s/f%05d.%s", dir, n, ext)
        size = 1024 + int(rand() * 7168)
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
  measure floor "$find_candidates -exec cat {} +"
  if [ -n "${FLOOR:-}" ]; then
    measure flush "'$FLOOR' --flush '$work/target'"
    diff -r -q "$work/target" "$work/dravick.out" >/dev/null || { echo "dravick and the floor differ" >&2; exit 1; }
  fi
done

worst() { sort -n "$work/$1.runs" | tail -1; }

d=$(median dravick); u=$(median unix2dos); f=$(median floor)
dw=$(worst dravick); uw=$(worst unix2dos); fw=$(worst floor)
s=0; sw=0
if [ -n "${FLOOR:-}" ]; then s=$(median flush); sw=$(worst flush); fi
awk -v d="$d" -v u="$u" -v f="$f" -v s="$s" -v dw="$dw" -v uw="$uw" -v fw="$fw" -v sw="$sw" \
    -v runs="$runs" 'BEGIN {
  printf "20,000 files in 200 directories, %d runs     median     worst\n", runs
  printf "  dravick                  %8.3f s %8.3f s\n", d / 1e6, dw / 1e6
  printf "  find -exec unix2dos      %8.3f s %8.3f s\n", u / 1e6, uw / 1e6
  printf "  find -exec cat (floor)   %8.3f s %8.3f s\n", f / 1e6, fw / 1e6
  if (s > 0)
    printf "  floor --flush            %8.3f s %8.3f s\n", s / 1e6, sw / 1e6
  printf "  unix2dos / dravick       %8.2f x   (goal >= 3)\n", u / d
  printf "  dravick / floor          %8.2f x   (goal <= 2)\n", d / f
  if (s > 0)
    printf "  dravick / floor --flush  %8.2f x   worst %.2f x (goal <= 1.15)\n", d / s, dw / sw
}'
c=$(median check); cf=$(median checkfloor)
echo "converted tree: dravick --check $(awk -v c="$c" 'BEGIN { printf "%.3f", c / 1e6 }') s, find -exec cat $(awk -v c="$cf" 'BEGIN { printf "%.3f", c / 1e6 }') s: $(awk -v c="$c" -v f="$cf" 'BEGIN { printf "%.2f", f / c }') x faster (goal >= 1.5)"
if [ -n "${BASE:-}" ]; then
  b=$(median base); bw=$(worst base); bc=$(median basecheck)
  awk -v b="$b" -v bw="$bw" -v bc="$bc" -v d="$d" -v c="$c" 'BEGIN {
    printf "base: %.3f s (worst %.3f s), base / dravick %.2f x; base --check %.3f s, base / dravick %.2f x\n", b / 1e6, bw / 1e6, b / d, bc / 1e6, bc / c }'
fi
