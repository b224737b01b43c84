#!/bin/sh
# Converting one large text file with LF line ends to CR LF, timed against
# unix2dos and against the floor for replacing a file's content safely (a
# plain copy into a new file beside it, renamed over it). Every run works on
# a fresh copy; the contenders take turns; the median of the runs counts.
#
# Usage: bench/file.sh            (SIZE_MIB=256 RUNS=5 by default)
# Needs unix2dos and GNU time (/usr/bin/time).
set -eu

size_mib=${SIZE_MIB:-256}
work=$(cd "$(dirname "$0")" && pwd)/work/file
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
  measure unix2dos unix2dos -q "$work/target.txt"
  cmp -s "$work/target.txt" "$work/dravick.out" || { echo "dravick and unix2dos differ" >&2; exit 1; }
  measure floor sh -c 'dd if="$1" of="$1.new" bs=1M status=none && mv "$1.new" "$1"' floor "$work/target.txt"
  # A file that needs no change, against reading it once.
  cp "$work/dravick.out" "$work/converted.txt"
  sync
  start=$(now); "$tool" "$work/converted.txt" >/dev/null; end=$(now)
  echo "$(( (end - start) / 1000 )) 0" >> "$work/nochange.runs"
  start=$(now); cat "$work/converted.txt" >/dev/null; end=$(now)
  echo "$(( (end - start) / 1000 )) 0" >> "$work/read.runs"
done

peak() { sort -n -k2 "$work/$1.runs" | tail -1 | awk '{ print $2 }'; }

d=$(median dravick); u=$(median unix2dos); f=$(median floor); n=$(median nochange); r=$(median read)
rss=$(peak dravick)
awk -v d="$d" -v u="$u" -v f="$f" -v n="$n" -v r="$r" -v rss="$rss" -v mib="$size_mib" -v runs="$runs" 'BEGIN {
  printf "%d MiB, LF line ends, median of %d runs\n", mib, runs
  printf "  dravick            %8.3f s\n", d / 1e6
  printf "  unix2dos           %8.3f s\n", u / 1e6
  printf "  floor (dd + mv)    %8.3f s\n", f / 1e6
  printf "  dravick / floor    %8.2f x   (goal <= 1.3)\n", d / f
  printf "  unix2dos / dravick %8.2f x   (goal >= 8)\n", u / d
  printf "  dravick peak RSS   %8.1f MiB = %.3f x the file (goal <= 1.15)\n", rss / 1024, rss / 1024 / mib
  printf "  no change needed   %8.3f s, reading it once %.3f s\n", n / 1e6, r / 1e6
}'
