#!/usr/bin/env bash
# Finding items named on the command line among many stored ones: M stored
# names among N items ('vaporizer properties --stored', which changes
# nothing) beside a listing of the same N items, and 2M names among 2N
# items for the growth, which must stay about linear (at most 2.2 times).
#   bench/lookup.sh [--files N] [--names M] [--runs R]   (defaults 10000, 1000, 5)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
n=10000 m=1000 runs=5
while (($#)); do
  case "$1" in
    --files) n=$2; shift 2 ;;
    --names) m=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: bench/lookup.sh [--files N] [--names M] [--runs R]" >&2; exit 2 ;;
  esac
done
bench_build
bench_scratch
mkdir -p "$scratch/config"
export XDG_CONFIG_HOME="$scratch/config"

# Two volumes: N and 2N stored items; the names looked up are spread over them.
for k in 1 2; do
  mkdir -p "$scratch/v$k"
  make_files "$scratch/v$k/src" $((k * n)) 100
  list_files "$scratch/v$k/src" $((k * n))
  VAPORIZER_VOLUMES="C=$scratch/v$k" "$vaporizer" send --yes "${files[@]}" >/dev/null
done
names() {  # count of items, count of names
  local i step=$(($1 / $2))
  for ((i = 0; i < $2; i++)); do echo "C$((1 + i * step)).txt"; done
}
mapfile -t names1 < <(names "$n" "$m")
mapfile -t names2 < <(names $((2 * n)) $((2 * m)))
look() { VAPORIZER_VOLUMES="C=$scratch/v$1" "$vaporizer" properties --stored "${@:2}"; }
listing() { VAPORIZER_VOLUMES="C=$scratch/v1" "$vaporizer" list --json; }

declare -a t_list t_m t_2m
for ((r = 0; r < runs; r++)); do
  case $((r % 3)) in
    0) timed t_list listing; timed t_m look 1 "${names1[@]}"; timed t_2m look 2 "${names2[@]}" ;;
    1) timed t_m look 1 "${names1[@]}"; timed t_2m look 2 "${names2[@]}"; timed t_list listing ;;
    2) timed t_2m look 2 "${names2[@]}"; timed t_list listing; timed t_m look 1 "${names1[@]}" ;;
  esac
done
ref=$(median "${t_list[@]}")
echo "looking up stored names among stored items; median of $runs rounds"
table_head "x listing"
row "vaporizer list --json ($n items)" "$ref" "${t_list[@]}"
row "properties --stored: $m names, $n items" "$ref" "${t_m[@]}"
row "properties --stored: $((2 * m)) names, $((2 * n)) items" "$ref" "${t_2m[@]}"
growth=$(awk -v a="$(median "${t_2m[@]}")" -v b="$(median "${t_m[@]}")" 'BEGIN { printf "%.2f", a / b }')
echo "growth ($m, $n) -> ($((2 * m)), $((2 * n))): ${growth}x (linear is 2.00x, limit 2.20x)"
awk -v g="$growth" 'BEGIN { exit !(g <= 2.2) }'
