# Shared by the benchmark scripts, which source it after setting `work`:
# the tool (built when missing), unix2dos, a clock and the median of runs.
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-5}
tool=${DRAVICK:-$root/build/native/dravick}

if [ ! -x "$tool" ]; then
  (cd "$root" && cmake --preset native >/dev/null && cmake --build --preset native --target dravick >/dev/null)
fi
command -v unix2dos >/dev/null || { echo "unix2dos is needed (package dos2unix)" >&2; exit 1; }

now() { date +%s%N; }
median() { sort -n "$work/$1.runs" | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
