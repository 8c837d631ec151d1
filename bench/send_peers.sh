#!/usr/bin/env bash
# Sending small files of one extension to the Vaporizer, side by side with
# moving the same files into one folder (mv) and with trash-put (trash-cli):
# N files each way in every round, and 2N files to the Vaporizer for the
# growth, which must stay about linear (at most 2.2 times N's time).
# --baseline takes another build of the companion program (an earlier
# version) into every round too, so a change is measured against what came
# before it.
#   bench/send_peers.sh [--files N] [--runs R] [--baseline PATH/TO/vaporizer]   (defaults 10000, 5)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
n=10000 runs=5 baseline=""
while (($#)); do
  case "$1" in
    --files) n=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --baseline) baseline=$2; shift 2 ;;
    *) echo "usage: bench/send_peers.sh [--files N] [--runs R] [--baseline PATH/TO/vaporizer]" >&2; exit 2 ;;
  esac
done
command -v trash-put >/dev/null || { echo "bench: trash-put is missing (scripts/setup installs trash-cli)" >&2; exit 1; }
bench_build
bench_scratch
# The Vaporizer's drive C: and the trash's home lie on the same disk.
export VAPORIZER_VOLUMES="C=$scratch/vol" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/vol/data"
mkdir -p "$scratch/vol" "$scratch/config"

declare -a t_vz t_vz2 t_mv t_trash t_base
send_round() {  # count array [program]
  rm -rf "$scratch/vol/src" "$scratch/vol/.VAPORIZE"
  make_files "$scratch/vol/src" "$1" 200
  list_files "$scratch/vol/src" "$1"
  timed "$2" "${3:-$vaporizer}" send --yes "${files[@]}"
  [ -z "$(ls "$scratch/vol/src")" ] || { echo "bench: not everything was sent" >&2; exit 1; }
}
mv_round() {
  rm -rf "$scratch/vol/src" "$scratch/vol/moved"
  make_files "$scratch/vol/src" "$n" 200
  list_files "$scratch/vol/src" "$n"
  mkdir -p "$scratch/vol/moved"
  timed t_mv mv -t "$scratch/vol/moved" "${files[@]}"
}
trash_round() {
  rm -rf "$scratch/vol/src" "$scratch/vol/data"
  make_files "$scratch/vol/src" "$n" 200
  list_files "$scratch/vol/src" "$n"
  timed t_trash trash-put "${files[@]}"
}
# Side by side: every round runs each tool once, in a rotating order.
for ((r = 0; r < runs; r++)); do
  case $((r % 3)) in
    0) send_round "$n" t_vz; mv_round; trash_round ;;
    1) mv_round; trash_round; send_round "$n" t_vz ;;
    2) trash_round; send_round "$n" t_vz; mv_round ;;
  esac
  send_round $((2 * n)) t_vz2
  [ -z "$baseline" ] || send_round "$n" t_base "$baseline"
done

ref=$(median "${t_vz[@]}")
echo "sending $n files of 200 bytes, one extension, one call each; median of $runs rounds"
table_head "x vaporizer"
row "vaporizer send ($n files)" "$ref" "${t_vz[@]}"
row "mv -t folder ($n files)" "$ref" "${t_mv[@]}"
row "trash-put ($n files)" "$ref" "${t_trash[@]}"
row "vaporizer send ($((2 * n)) files)" "$ref" "${t_vz2[@]}"
[ -z "$baseline" ] || row "baseline vaporizer send ($n files)" "$ref" "${t_base[@]}"
growth=$(awk -v a="$(median "${t_vz2[@]}")" -v b="$ref" 'BEGIN { printf "%.2f", a / b }')
echo "growth $n -> $((2 * n)) files: ${growth}x (linear is 2.00x, limit 2.20x)"
awk -v g="$growth" 'BEGIN { exit !(g <= 2.2) }'
