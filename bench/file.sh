#!/bin/sh
# Converting one large text file with LF line ends to CR LF, timed against
# unix2dos and against the floor for replacing a file's content safely (a
# plain copy into a new file beside it, renamed over it). Every run works on
# a fresh copy, after a sync; the contenders take turns. Each prints its
# median, fastest and slowest run; the goals are on the median and on the
# slowest run, against the floor's.
#
# Usage: bench/file.sh            (SIZE_MIB=256 RUNS=10 by default)
# With BASE set to another build of dravick (an earlier version, say), that
# one takes its turn too and is printed beside.
# Needs unix2dos and GNU time (/usr/bin/time).
set -eu

size_mib=${SIZE_MIB:-256}
work=$(cd "$(dirname "$0")" && pwd)/work/file
: "${RUNS:=10}"
. "$(dirname "$0")/common.sh"
[ -x /usr/bin/time ] || { echo "GNU time is needed (package time)" >&2; exit 1; }

mkdir -p "$work"
source=$work/source.txt
bytes=$((size_mib * 1024 * 1024))
if [ ! -f "$source" ] || [ "$(stat -c %s "$source")" -ne "$bytes" ]; then
  # One MiB of lines of varied length, repeated, cut to the size.
  awk 'BEGIN { srand(7); s = "";
               while (length(s) < 1048576) {
                 n = int(rand() * 110);
                 line = "";
                 for (i = 0; i < n; i++) line = line sprintf("%c", 32 + int(rand() * 95));
                 s = s line "\n" } printf "%s", s }' > "$work/block.txt"
  i=0
  : > "$source"
  while [ "$(stat -c %s "$source")" -lt "$bytes" ]; do cat "$work/block.txt" >> "$source"; done
  truncate -s $((bytes - 1)) "$source"
  printf '\n' >> "$source"
  rm -f "$work/block.txt"
fi

# Runs one contender on a fresh copy; appends "seconds peak_kib" to its list.
measure() {
  name=$1
  shift
  cp "$source" "$work/target.txt"
  sync
  start=$(now)
  /usr/bin/time -f "%M" -o "$work/rss" "$@" >/dev/null
  end=$(now)
  echo "$(( (end - start) / 1000 )) $(cat "$work/rss")" >> "$work/$name.runs"
}


rm -f "$work"/*.runs
for run in $(seq "$runs"); do
  measure dravick "$tool" "$work/target.txt"
  cp "$work/target.txt" "$work/dravick.out"
  if [ -n "${BASE:-}" ]; then
    measure base "$BASE" "$work/target.txt"
    cmp -s "$work/target.txt" "$work/dravick.out" || { echo "dravick and the base differ" >&2; exit 1; }
  fi
  measure unix2dos unix2dos -q "$work/target.txt"
  cmp -s "$work/target.txt" "$work/dravick.out" || { echo "dravick and unix2dos differ" >&2; exit 1; }
  measure floor sh -c 'dd if="$1" of="$1.new" bs=1M status=none && mv "$1.new" "$1"' floor "$work/target.txt"
  # The same with the copy flushed before the mv, as dravick flushes its own.
  measure flushed sh -c 'dd if="$1" of="$1.new" bs=1M conv=fdatasync status=none && mv "$1.new" "$1"' floor "$work/target.txt"
  # A file that needs no change, against reading it once.
  cp "$work/dravick.out" "$work/converted.txt"
  sync
  start=$(now); "$tool" "$work/converted.txt" >/dev/null; end=$(now)
  echo "$(( (end - start) / 1000 )) 0" >> "$work/nochange.runs"
  if [ -n "${BASE:-}" ]; then
    sync
    start=$(now); "$BASE" "$work/converted.txt" >/dev/null; end=$(now)
    echo "$(( (end - start) / 1000 )) 0" >> "$work/basenochange.runs"
  fi
  start=$(now); cat "$work/converted.txt" >/dev/null; end=$(now)
  echo "$(( (end - start) / 1000 )) 0" >> "$work/read.runs"
done

peak() { sort -n -k2 "$work/$1.runs" | tail -1 | awk '{ print $2 }'; }
# "median min max" of a contender's times, in microseconds.
spread() { echo "$(median "$1") $(sort -n "$work/$1.runs" | awk 'NR == 1 { a = $1 } { b = $1 } END { print a, b }')"; }

rss=$(peak dravick)
names="dravick unix2dos floor flushed nochange read"
[ -n "${BASE:-}" ] && names="$names base basenochange"
base_rss=0
[ -n "${BASE:-}" ] && base_rss=$(peak base)
{
  for name in $names; do echo "$name $(spread $name)"; done
} | awk -v rss="$rss" -v base_rss="$base_rss" -v result="$(stat -c %s "$work/dravick.out")" -v mib="$size_mib" -v runs="$runs" '
  { med[$1] = $2; lo[$1] = $3; hi[$1] = $4 }
  END {
    printf "%d MiB, LF line ends, %d runs: median (fastest - slowest)\n", mib, runs
    label["dravick"] = "dravick"; label["unix2dos"] = "unix2dos"; label["floor"] = "floor (dd + mv)"
    label["flushed"] = "dd, fdatasync, mv"
    label["nochange"] = "dravick, no change"; label["read"] = "reading it once"
    label["base"] = "base"; label["basenochange"] = "base, no change"
    split("dravick unix2dos floor flushed nochange read base basenochange", order, " ")
    for (i = 1; i <= 8; i++) {
      n = order[i]
      if (!(n in med)) continue
      printf "  %-20s %7.3f s  (%.3f - %.3f)\n", label[n], med[n] / 1e6, lo[n] / 1e6, hi[n] / 1e6
    }
    printf "  dravick / flushed floor, median   %6.2f x   (goal <= 1.5)\n", med["dravick"] / med["flushed"]
    printf "  dravick slowest / flushed floor   %6.2f x   (goal <= 2)\n", hi["dravick"] / med["flushed"]
    printf "  dravick / floor, median           %6.2f x\n", med["dravick"] / med["floor"]
    printf "  unix2dos / dravick                %6.2f x   (goal >= 4)\n", med["unix2dos"] / med["dravick"]
    printf "  no change / reading it once       %6.2f x   (goal <= 1.5)\n", med["nochange"] / med["read"]
    printf "  dravick peak RSS      %8.1f MiB for a result of %.1f MiB (goal <= 16 MiB)\n", rss / 1024, result / 1048576
    if ("base" in med) {
      printf "  base / dravick                    %6.2f x;  no change: %.2f x\n", med["base"] / med["dravick"], med["basenochange"] / med["nochange"]
      printf "  base peak RSS         %8.1f MiB\n", base_rss / 1024
    }
  }'
