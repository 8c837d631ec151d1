#!/usr/bin/env bash
# Listing N stored items ('vaporizer list --json') side by side with
# trash-list over N trashed files (trash-cli).
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

declare -a t_vz t_trash
for ((r = 0; r < runs; r++)); do
  if ((r % 2)); then
    timed t_trash trash-list; timed t_vz "$vaporizer" list --json
  else
    timed t_vz "$vaporizer" list --json; timed t_trash trash-list
  fi
done
ref=$(median "${t_vz[@]}")
echo "listing $n items; median of $runs rounds"
table_head "x vaporizer"
row "vaporizer list --json" "$ref" "${t_vz[@]}"
row "trash-list" "$ref" "${t_trash[@]}"
