#!/usr/bin/env bash
# Listing N stored items ('vaporizer list --json') side by side with
# trash-list over N trashed files (trash-cli), and 2N stored items for the
# growth, which must stay about linear (at most 2.2 times N's time).
#   bench/list_peers.sh [--files N] [--runs R]      (defaults 10000, 5)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
n=10000 runs=5
while (($#)); do
  case "$1" in
    --files) n=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: bench/list_peers.sh [--files N] [--runs R]" >&2; exit 2 ;;
  esac
done
command -v trash-list >/dev/null || { echo "bench: trash-list is missing (scripts/setup installs trash-cli)" >&2; exit 1; }
bench_build
bench_scratch
export VAPORIZER_VOLUMES="C=$scratch/vol" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/vol/data"
mkdir -p "$scratch/vol" "$scratch/config"

# The same N files, once into the store and once into the trash.
make_files "$scratch/vol/a" "$n" 200
list_files "$scratch/vol/a" "$n"
"$vaporizer" send --yes "${files[@]}" >/dev/null
make_files "$scratch/vol/b" "$n" 200
list_files "$scratch/vol/b" "$n"
trash-put "${files[@]}"
listed=$("$vaporizer" list --json | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')
trashed=$(trash-list | wc -l)
[ "$listed" -eq "$n" ] && [ "$trashed" -eq "$n" ] || { echo "bench: listed $listed stored and $trashed trashed items, not $n" >&2; exit 1; }

# The same again, doubled, on a drive of its own.
mkdir -p "$scratch/vol2"
make_files "$scratch/vol2/a" $((2 * n)) 200
list_files "$scratch/vol2/a" $((2 * n))
VAPORIZER_VOLUMES="C=$scratch/vol2" "$vaporizer" send --yes "${files[@]}" >/dev/null
listed=$(VAPORIZER_VOLUMES="C=$scratch/vol2" "$vaporizer" list --json | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')
[ "$listed" -eq $((2 * n)) ] || { echo "bench: listed $listed stored items, not $((2 * n))" >&2; exit 1; }

declare -a t_vz t_trash t_vz2
list2() { VAPORIZER_VOLUMES="C=$scratch/vol2" "$vaporizer" list --json; }
for ((r = 0; r < runs; r++)); do
  case $((r % 3)) in
    0) timed t_vz "$vaporizer" list --json; timed t_trash trash-list; timed t_vz2 list2 ;;
    1) timed t_trash trash-list; timed t_vz2 list2; timed t_vz "$vaporizer" list --json ;;
    2) timed t_vz2 list2; timed t_vz "$vaporizer" list --json; timed t_trash trash-list ;;
  esac
done
ref=$(median "${t_vz[@]}")
echo "listing $n items; median of $runs rounds"
table_head "x vaporizer"
row "vaporizer list --json" "$ref" "${t_vz[@]}"
row "trash-list" "$ref" "${t_trash[@]}"
row "vaporizer list --json ($((2 * n)) items)" "$ref" "${t_vz2[@]}"
growth=$(awk -v a="$(median "${t_vz2[@]}")" -v b="$ref" 'BEGIN { printf "%.2f", a / b }')
echo "growth $n -> $((2 * n)) items: ${growth}x (linear is 2.00x, limit 2.20x)"
awk -v g="$growth" 'BEGIN { exit !(g <= 2.2) }'
