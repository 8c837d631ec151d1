# Shared by the side-by-side benchmarks: the Release build of the companion
# program, a scratch folder on a real disk, small files, timing, medians and
# the table of results. Sourced, not run.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VZ_BUILD_ROOT:-$root/build}
vaporizer=$build/native/vaporizer
# The peers each benchmark compares with.
"$root/scripts/setup" bench >&2 || exit 1

# Builds the companion program (Release) unless VZ_BENCH_NO_BUILD is set.
bench_build() {
  [ -n "${VZ_BENCH_NO_BUILD:-}" ] || VZ_ONLY=vaporizer "$root/scripts/build" native >&2 || exit 1
  [ -x "$vaporizer" ] || { echo "bench: $vaporizer is missing" >&2; exit 1; }
}

# A fresh scratch folder under VZ_BENCH_DIR (default /var/tmp/vz-bench),
# removed at exit.
bench_scratch() {
  local base=${VZ_BENCH_DIR:-/var/tmp/vz-bench}
  mkdir -p "$base"
  scratch=$(mktemp -d "$base/run-XXXXXX")
  trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
}

# N files of SIZE bytes, f0.txt ... in DIR, each with its own content, on
# the disk before anything is timed.
make_files() {  # dir n size
  mkdir -p "$1"
  python3 - "$1" "$2" "$3" <<'PY'
import os, sys
d, n, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(n):
    line = ("small file %d " % i).encode()
    with open(os.path.join(d, "f%d.txt" % i), "wb") as f:
        f.write((line * (size // len(line) + 1))[:size])
PY
  sync
}

# Paths of the files made by make_files, into the array `files`.
list_files() {  # dir n
  files=()
  local i
  for ((i = 0; i < $2; i++)); do files+=("$1/f$i.txt"); done
}

now() { date +%s.%N; }
# Runs a command and appends its wall-clock seconds to the named array;
# a command that fails stops the benchmark.
timed() {  # array command...
  local -n into=$1
  shift
  local s e
  sync
  s=$(now)
  "$@" >/dev/null 2>"$scratch/last.err" || { echo "bench: failed: $*" >&2; tail -n 5 "$scratch/last.err" >&2; exit 1; }
  e=$(now)
  into+=("$(awk -v a="$s" -v b="$e" 'BEGIN { printf "%.3f", b - a }')")
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# A table row: name, the median, its ratio to the reference median, the runs.
table_head() { printf '%-44s %8s %9s   %s\n' "what" "median s" "$1" "runs (s)"; }
row() {  # name reference-median times...
  local name=$1 ref=$2
  shift 2
  local m
  m=$(median "$@")
  printf '%-44s %8.3f %8.2fx   %s\n' "$name" "$m" "$(awk -v a="$m" -v b="$ref" 'BEGIN { print (b > 0 ? a / b : 0) }')" "$*"
}
