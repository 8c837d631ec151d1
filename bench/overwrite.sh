#!/usr/bin/env bash
# One overwrite pass over a stored 256 MiB file, the whole process
# ('vaporizer vaporize --yes --passes 1 --keep --stored' of the stored
# item, natively and the Windows build under Wine) side by side with dd
# writing zeros over a file of the same size and flushing it, through the
# cache (conv=fsync) and around it (oflag=direct), medians of interleaved
# rounds. Goal: at most 1.0x dd oflag=direct.
# Under Wine a program's start costs more than the pass; its own line shows
# it, and the pass alone is timed inside the process as well
# (overwrite_bench, both builds).
#   bench/overwrite.sh [--runs N] [--mib N] [--blocks]     (defaults 9, 256)
# --blocks also times the native pass at several block sizes.
# VZ_BENCH_DIR (default /var/tmp/vz-bench) must lie on a real disk.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VZ_BUILD_ROOT:-$root/build}
runs=9 mib=256 blocks=0
while (($#)); do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --mib) mib=$2; shift 2 ;;
    --blocks) blocks=1; shift ;;
    *) echo "usage: bench/overwrite.sh [--runs N] [--mib N] [--blocks]" >&2; exit 2 ;;
  esac
done

[ -n "${VZ_BENCH_NO_BUILD:-}" ] || "$root/scripts/build" native win64 >&2
base=${VZ_BENCH_DIR:-/var/tmp/vz-bench}
mkdir -p "$base"
dir=$(mktemp -d "$base/overwrite-XXXXXX")
prefix=""
cleanup() {
  [ -n "$prefix" ] && { WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; rm -rf "$prefix"; }
  rm -rf "$dir"
}
trap cleanup EXIT
vaporizer=$build/native/vaporizer
pass_bench=$build/native/bench/overwrite_bench
export VAPORIZER_VOLUMES="B=$dir/vol" XDG_CONFIG_HOME="$dir/config"
mkdir -p "$dir/vol" "$dir/config" "$dir/wvol"
random_file() { dd if=/dev/urandom of="$1" bs=1M count="$mib" conv=fsync status=none; }
random_file "$dir/dd.bin"
random_file "$dir/vol/big.bin"
"$vaporizer" send --yes "$dir/vol/big.bin" >/dev/null
stored_native=$dir/vol/.VAPORIZE/$(id -u)/B1.bin stored_sys='B:\VAPORIZE\'$(id -u)'\B1.bin'
[ -f "$stored_native" ] || { echo "bench: the file was not stored as B1.bin" >&2; exit 1; }

wine_ok=0
if command -v wine >/dev/null && [ -f "$build/win64/vaporizer.exe" ] && [ -f "$build/win64/bench/overwrite_bench.exe" ]; then
  source "$root/scripts/lib/wine-prefix.sh"
  vz_make_prefix >/dev/null 2>&1
  prefix=$WINEPREFIX
  # D: (a fixed drive) is a folder beside the others on the same disk.
  rm -f "$prefix/dosdevices/d:"
  ln -s "$dir/wvol" "$prefix/dosdevices/d:"
  cp "$build/win64/vaporizer.exe" "$build/win64/bench/overwrite_bench.exe" "$prefix/drive_c/"
  random_file "$dir/wvol/big.bin"
  wineserver -p >/dev/null 2>&1 || true
  wine 'C:\vaporizer.exe' send --yes 'D:\big.bin' >/dev/null 2>&1 || true
  # The store of the prefix's account, named by its SID.
  stored_wine=$(echo "$dir"/wvol/VAPORIZE/S-*/D1.bin)
  account=${stored_wine#*/VAPORIZE/} account=${account%%/*}
  [ -f "$stored_wine" ] && wine_ok=1 || echo "bench: the Windows build could not store its file; Wine is left out" >&2
fi

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
# Seconds of one pass as the bench program reports it.
pass_time() { tr -d '\r' | awk '/^block/ { print $5 }'; }
timed() {  # array command...
  local -n into=$1
  shift
  local s e
  s=$(now)
  "$@" >/dev/null 2>"$dir/last.err" || { echo "bench: failed: $*" >&2; tail -n 5 "$dir/last.err" >&2; exit 1; }
  e=$(now)
  into+=("$(elapsed "$s" "$e")")
}
# Every run starts alike: the device quiet and none of the files in the
# page cache.
cold() {
  sync
  for f in "$@"; do dd if=/dev/null of="$f" oflag=nocache conv=notrunc,fdatasync count=0 status=none; done
}

declare -a t_dd t_direct t_vz t_wine t_start t_pass t_wpass
run_dd() { cold "$dir/dd.bin"; timed t_dd dd if=/dev/zero of="$dir/dd.bin" bs=1M count="$mib" conv=notrunc,fsync status=none; }
run_direct() {
  cold "$dir/dd.bin"
  timed t_direct dd if=/dev/zero of="$dir/dd.bin" bs=1M count="$mib" oflag=direct conv=notrunc,fsync status=none
}
run_vz() { cold "$stored_native"; timed t_vz "$vaporizer" vaporize --yes --passes 1 --keep --stored B1.bin; }
run_wine() { cold "$stored_wine"; timed t_wine wine 'C:\vaporizer.exe' vaporize --yes --passes 1 --keep --stored D1.bin; }
run_start() { timed t_start wine 'C:\vaporizer.exe' --version; }
run_pass() { cold "$stored_native"; t_pass+=("$("$pass_bench" "$stored_sys" --runs 1 | pass_time)"); }
run_wpass() {
  cold "$stored_wine"
  t_wpass+=("$(wine 'C:\overwrite_bench.exe' "D:\\VAPORIZE\\$account\\D1.bin" --runs 1 2>/dev/null | pass_time)")
}
steps=(run_dd run_direct run_vz run_pass)
((wine_ok)) && steps+=(run_wine run_start run_wpass)
# Each round runs every step once, starting one further along each time.
for ((r = 0; r < runs; r++)); do
  for ((k = 0; k < ${#steps[@]}; k++)); do ${steps[(k + r) % ${#steps[@]}]}; done
done
[ -f "$stored_native" ] || { echo "bench: the stored file did not come back to the list" >&2; exit 1; }

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
m_dd=$(median "${t_dd[@]}")
row() {
  local name=$1; shift
  local m; m=$(median "$@")
  printf '%-52s %8.4f %7.2f   %s\n' "$name" "$m" "$(awk -v a="$m" -v b="$m_dd" 'BEGIN { print a / b }')" "$*"
}
echo "one pass over $mib MiB in $dir, median of $runs rounds, each run from a cold page cache"
printf '%-52s %8s %7s   %s\n' "what" "seconds" "x dd" "runs"
row "dd bs=1M conv=notrunc,fsync" "${t_dd[@]}"
row "dd bs=1M oflag=direct conv=notrunc,fsync" "${t_direct[@]}"
row "vaporizer vaporize --passes 1 --keep (linux)" "${t_vz[@]}"
row "  the pass alone, in process (linux)" "${t_pass[@]}"
if ((wine_ok)); then
  row "vaporizer.exe vaporize --passes 1 --keep (wine)" "${t_wine[@]}"
  row "  vaporizer.exe --version (wine's start alone)" "${t_start[@]}"
  row "  the pass alone, in process (win64 under wine)" "${t_wpass[@]}"
fi
goal() {  # what, seconds, limit
  awk -v a="$2" -v d="$m_dd" -v l="$3" -v w="$1" \
    'BEGIN { r = a / d; printf "%s: %.2fx dd (goal at most %.2fx): %s\n", w, r, l, (r <= l ? "met" : "NOT met") }'
}
goal "linux, whole process" "$(median "${t_vz[@]}")" 1.10
awk -v a="$(median "${t_vz[@]}")" -v d="$(median "${t_direct[@]}")" \
  'BEGIN { r = a / d; printf "linux, whole process: %.2fx dd oflag=direct (goal at most 1.00x): %s\n", r, (r <= 1.0 ? "met" : "NOT met") }'
((wine_ok)) && goal "wine, the pass in process" "$(median "${t_wpass[@]}")" 1.10

if ((blocks)); then
  echo
  echo "linux pass by block size ($runs runs each):"
  "$pass_bench" "$stored_sys" --runs "$runs" --block 1024,16384,65536,262144,1048576,4194304
fi
