#!/usr/bin/env bash
# Vaporizing N small files with one pass, side by side with GNU shred over
# the same files: 'vaporizer shred' (the files where they are), 'vaporizer
# empty' (the same files sent to the store first; the sending is not
# timed), 'shred -n1 -z -u' (one random pass and one of zeros) and, for one
# pass of zeros like ours, 'shred -n0 -z -u'.
#   bench/vaporize_peers.sh [--files N] [--runs R] [--size BYTES]   (defaults 10000, 3, 1000)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
n=10000 runs=3 size=1000
while (($#)); do
  case "$1" in
    --files) n=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    *) echo "usage: bench/vaporize_peers.sh [--files N] [--runs R] [--size BYTES]" >&2; exit 2 ;;
  esac
done
bench_build
bench_scratch
export VAPORIZER_VOLUMES="C=$scratch/vol" XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$scratch/vol" "$scratch/config"

fresh() {
  rm -rf "$scratch/vol/src" "$scratch/vol/.VAPORIZE"
  make_files "$scratch/vol/src" "$n" "$size"
  list_files "$scratch/vol/src" "$n"
}
gone() { [ -z "$(ls -A "$scratch/vol/src" 2>/dev/null)" ] || { echo "bench: $1 left files behind" >&2; exit 1; }; }

declare -a t_shred_vz t_empty_vz t_shred1 t_shred0
vz_direct() { fresh; timed t_shred_vz "$vaporizer" shred --yes --passes 1 "${files[@]}"; gone "vaporizer shred"; }
vz_store() {
  fresh
  "$vaporizer" send --yes "${files[@]}" >/dev/null
  timed t_empty_vz "$vaporizer" empty --yes --passes 1
  [ -z "$(ls "$scratch/vol/.VAPORIZE" | grep -v -e '^info.shr$' -e '^desktop.ini$')" ] || { echo "bench: the store is not empty" >&2; exit 1; }
}
gnu1() { fresh; timed t_shred1 shred -n1 -z -u "${files[@]}"; gone "shred -n1"; }
gnu0() { fresh; timed t_shred0 shred -n0 -z -u "${files[@]}"; gone "shred -n0"; }
for ((r = 0; r < runs; r++)); do
  case $((r % 2)) in
    0) vz_direct; gnu1; vz_store; gnu0 ;;
    1) gnu1; vz_direct; gnu0; vz_store ;;
  esac
done
ref=$(median "${t_shred1[@]}")
echo "vaporizing $n files of $size bytes, one call each; median of $runs rounds"
table_head "x shred -n1"
row "vaporizer shred --passes 1 (in place)" "$ref" "${t_shred_vz[@]}"
row "vaporizer empty --passes 1 (from the store)" "$ref" "${t_empty_vz[@]}"
row "shred -n1 -z -u" "$ref" "${t_shred1[@]}"
row "shred -n0 -z -u (one pass of zeros)" "$ref" "${t_shred0[@]}"
