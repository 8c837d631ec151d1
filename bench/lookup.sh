#!/usr/bin/env bash
# Finding items named on the command line among many stored ones, which must
# stay about linear: twice the names among twice the items may take at most
# 2.2 times as long.
# - M stored names among N items ('vaporizer properties --stored', which
#   changes nothing), beside a listing of the same N items;
# - restoring K items, named by the paths they came from, among S stored
#   items, and vaporizing K items named by their stored names among S:
#   each against 2K among 2S, on a store filled afresh before every run.
# --baseline takes another build of the companion program (an earlier
# version) into the rounds of restore and vaporize too.
#   bench/lookup.sh [--files N] [--names M] [--stored S] [--chosen K] [--runs R] [--baseline PATH]
#   (defaults 10000, 1000, 3000, 1000, 5)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
n=10000 m=1000 s=3000 k=1000 runs=5 baseline=""
while (($#)); do
  case "$1" in
    --files) n=$2; shift 2 ;;
    --names) m=$2; shift 2 ;;
    --stored) s=$2; shift 2 ;;
    --chosen) k=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --baseline) baseline=$2; shift 2 ;;
    *) echo "usage: bench/lookup.sh [--files N] [--names M] [--stored S] [--chosen K] [--runs R] [--baseline PATH]" >&2
       exit 2 ;;
  esac
done
bench_build
bench_scratch
mkdir -p "$scratch/config"
export XDG_CONFIG_HOME="$scratch/config"

# Every `step`-th of `count` items: stored names (C1.txt ...) or the paths they came from.
stored_names() {  # count chosen
  local i step=$(($1 / $2))
  for ((i = 0; i < $2; i++)); do echo "C$((1 + i * step)).txt"; done
}
original_paths() {  # volume count chosen
  local i step=$(($2 / $3))
  for ((i = 0; i < $3; i++)); do echo "$1/src/f$((i * step)).txt"; done
}
# A volume holding `count` freshly sent items.
fill() {  # volume count
  rm -rf "$1"
  mkdir -p "$1"
  make_files "$1/src" "$2" 100
  list_files "$1/src" "$2"
  VAPORIZER_VOLUMES="C=$1" "$vaporizer" send --yes "${files[@]}" >/dev/null
}

# Looking up without changing anything: two volumes, N and 2N items.
for f in 1 2; do fill "$scratch/v$f" $((f * n)); done
mapfile -t names1 < <(stored_names "$n" "$m")
mapfile -t names2 < <(stored_names $((2 * n)) $((2 * m)))
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
rm -rf "$scratch/v1" "$scratch/v2"

# Restoring and vaporizing chosen items: each timed run on a store filled
# afresh, the two sizes (and the baseline) alternating.
declare -a t_restore1 t_restore2 t_vaporize1 t_vaporize2 t_brestore1 t_bvaporize1
export VAPORIZER_VOLUMES="C=$scratch/c"
change() {  # array program restore|vaporize factor
  local vol=$scratch/c args
  fill "$vol" $(($4 * s))
  if [ "$3" = restore ]; then
    mapfile -t args < <(original_paths "$vol" $(($4 * s)) $(($4 * k)))
  else
    mapfile -t args < <(stored_names $(($4 * s)) $(($4 * k)))
    args=(--stored "${args[@]}")
  fi
  timed "$1" "$2" "$3" --yes "${args[@]}"
  local left
  left=$(find "$vol/.VAPORIZE" -name 'C*.txt' | wc -l)
  [ "$left" -eq $(($4 * (s - k))) ] || { echo "bench: $3 left $left of $(($4 * s)) stored items" >&2; exit 1; }
}
for ((r = 0; r < runs; r++)); do
  for op in restore vaporize; do
    order=(1 2 b)
    ((r % 2)) && order=(b 2 1)
    for which in "${order[@]}"; do
      case $which in
        1) change "t_${op}1" "$vaporizer" "$op" 1 ;;
        2) change "t_${op}2" "$vaporizer" "$op" 2 ;;
        b) [ -n "$baseline" ] && change "t_b${op}1" "$baseline" "$op" 1 ;;
      esac
    done
  done
done

echo "naming items among stored ones; median of $runs rounds"
ref=$(median "${t_list[@]}")
table_head "x listing"
row "vaporizer list --json ($n items)" "$ref" "${t_list[@]}"
row "properties --stored: $m names, $n items" "$ref" "${t_m[@]}"
row "properties --stored: $((2 * m)) names, $((2 * n)) items" "$ref" "${t_2m[@]}"
for op in restore vaporize; do
  one=t_${op}1 two=t_${op}2 base=t_b${op}1
  declare -n a1=$one a2=$two b1=$base
  row "$op: $k among $s items" "$(median "${a1[@]}")" "${a1[@]}"
  row "$op: $((2 * k)) among $((2 * s)) items" "$(median "${a1[@]}")" "${a2[@]}"
  [ -n "$baseline" ] && row "$op: $k among $s items, baseline" "$(median "${a1[@]}")" "${b1[@]}"
  unset -n a1 a2 b1
done
status=0
growth() {  # what small-array large-array
  local -n small=$2 large=$3
  local g
  g=$(awk -v a="$(median "${large[@]}")" -v b="$(median "${small[@]}")" 'BEGIN { printf "%.2f", a / b }')
  echo "growth of $1 to twice as many: ${g}x (linear is 2.00x, limit 2.20x)"
  awk -v g="$g" 'BEGIN { exit !(g <= 2.2) }' || status=1
}
growth "properties --stored" t_m t_2m
growth "restore" t_restore1 t_restore2
growth "vaporize" t_vaporize1 t_vaporize2
exit $status
