#!/usr/bin/env bash
# One overwrite pass over a 256 MiB file: the core's pass (natively and the
# Windows build under Wine) side by side with dd at the device's limit and
# with shred, medians of several interleaved runs.
#   bench/overwrite.sh [--runs N] [--mib N] [--blocks]
# --blocks also times the native pass at several block sizes.
# VZ_BENCH_DIR (default /var/tmp/vz-bench) must lie on a real disk.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VZ_BUILD_ROOT:-$root/build}
runs=5 mib=256 blocks=0
while (($#)); do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --mib) mib=$2; shift 2 ;;
    --blocks) blocks=1; shift ;;
    *) echo "usage: bench/overwrite.sh [--runs N] [--mib N] [--blocks]" >&2; exit 2 ;;
  esac
done

"$root/scripts/build" native win64 >&2
dir=${VZ_BENCH_DIR:-/var/tmp/vz-bench}
mkdir -p "$dir"
file="$dir/f.bin"
dd if=/dev/urandom of="$file" bs=1M count="$mib" conv=fsync status=none
native="$build/native/bench/overwrite_bench"

wine_ok=0
if command -v wine >/dev/null && [ -f "$build/win64/bench/overwrite_bench.exe" ]; then
  source "$root/scripts/lib/wine-prefix.sh"
  vz_make_prefix >/dev/null 2>&1
  prefix=$WINEPREFIX
  trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; rm -rf "$prefix"' EXIT
  ln -sfn "$dir" "$prefix/dosdevices/b:"
  cp "$build/win64/bench/overwrite_bench.exe" "$prefix/drive_c/"
  wine_ok=1
fi

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
# Seconds of one pass as the bench program reports it.
pass_time() { awk '/^block/ { print $5 }'; }

declare -a t_dd t_shred t_native t_wine
run_dd() { local s e; s=$(now); dd if=/dev/zero of="$file" bs=1M count="$mib" conv=notrunc,fsync status=none; e=$(now); t_dd+=("$(elapsed "$s" "$e")"); }
run_shred() { local s e; s=$(now); shred -n0 -z "$file"; e=$(now); t_shred+=("$(elapsed "$s" "$e")"); }
run_native() { t_native+=("$(VAPORIZER_VOLUMES="B=$dir" "$native" 'B:\f.bin' --runs 1 | pass_time)"); }
run_wine() { t_wine+=("$(wine 'C:\overwrite_bench.exe' 'B:\f.bin' --runs 1 2>/dev/null | tr -d '\r' | pass_time)"); }

# Every run starts alike: the device quiet and none of the file in the page
# cache (shred writes around the cache, so whoever ran after it would
# otherwise start colder than whoever ran after dd).
cold() { sync; dd if=/dev/null of="$file" oflag=nocache conv=notrunc,fdatasync count=0 status=none; }
# dd and the Linux pass alternate, each going first every other round. Then
# shred, and then the Windows build with its server kept running, so that
# Wine's start-up and shut-down work lands on no other tool's run.
for ((i = 0; i < runs; i++)); do
  if ((i % 2)); then cold; run_native; cold; run_dd; else cold; run_dd; cold; run_native; fi
done
for ((i = 0; i < runs; i++)); do cold; run_shred; done
if ((wine_ok)); then
  wineserver -p >/dev/null 2>&1 || true
  wine 'C:\overwrite_bench.exe' 'B:\f.bin' --runs 1 >/dev/null 2>&1 || true
  t_wine=()
  for ((i = 0; i < runs; i++)); do cold; run_wine; done
fi

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
m_dd=$(median "${t_dd[@]}")
row() {
  local name=$1; shift
  local m; m=$(median "$@")
  printf '%-34s %8.4f %7.2f   %s\n' "$name" "$m" "$(awk -v a="$m" -v b="$m_dd" 'BEGIN { print a / b }')" "$*"
}
echo "one pass over $mib MiB in $dir, median of $runs runs, each from a cold page cache"
printf '%-34s %8s %7s   %s\n' "tool" "seconds" "x dd" "runs"
row "dd bs=1M conv=notrunc,fsync" "${t_dd[@]}"
row "shred -n0 -z" "${t_shred[@]}"
row "vaporizer pass (linux)" "${t_native[@]}"
((wine_ok)) && row "vaporizer pass (win64 under wine)" "${t_wine[@]}"

m_native=$(median "${t_native[@]}")
m_shred=$(median "${t_shred[@]}")
verdict=$(awk -v n="$m_native" -v d="$m_dd" -v s="$m_shred" \
  'BEGIN { print (n <= 1.10 * d && n < s) ? "met" : "NOT met" }')
echo "target (linux pass <= 1.10 x dd and faster than shred): $verdict"

if ((blocks)); then
  echo
  echo "linux pass by block size ($runs runs each):"
  VAPORIZER_VOLUMES="B=$dir" "$native" 'B:\f.bin' --runs "$runs" --block 1024,16384,65536,262144,1048576,4194304
fi
rm -f "$file"
