#!/usr/bin/env bash
# Vaporizing N small files with one pass, side by side with its peers over
# the same files, every tool once per round in a rotating order:
#   floor             rm of the files, then one sync: what deleting alone costs
#   vaporizer shred   the files where they are
#   vaporizer empty   the same files sent to the store first (the sending is
#                     not timed); also with 2N files, for the growth
#   srm -llz          secure-delete's single pass of zeros
#   shred -n1 -z -u   GNU shred: one random pass and one of zeros
#   vaporizer shred --verify   the same, every file read back from the device
#   an earlier build's vaporizer shred (--before PATH), for what changed
# vaporizer shred hands each file's blocks back and trims what did not
# reach the device (the settings' default).
# Goals: vaporizer shred at most 1.5x the floor, 0.2x srm -llz and 0.1x
# shred -n1 -z -u, and at most 1.1x the earlier build's shred (--before,
# or --baseline: another build of the companion program, taken into every
# round, side by side); vaporizer empty of 2N files at most 2.2x that of N.
#   bench/vaporize_peers.sh [--files N] [--runs R] [--size BYTES] [--before PATH]   (defaults 10000, 5, 1000)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
n=10000 runs=5 size=1000 before=""
while (($#)); do
  case "$1" in
    --files) n=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --before|--baseline) before=$(realpath "$2"); shift 2 ;;
    *) echo "usage: bench/vaporize_peers.sh [--files N] [--runs R] [--size BYTES] [--before PATH]" >&2; exit 2 ;;
  esac
done
command -v srm >/dev/null || { echo "bench: srm is missing (scripts/setup installs secure-delete)" >&2; exit 1; }
bench_build
bench_scratch
export VAPORIZER_VOLUMES="C=$scratch/vol" XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$scratch/vol" "$scratch/config"

fresh() {  # count
  rm -rf "$scratch/vol/src" "$scratch/vol/.VAPORIZE"
  make_files "$scratch/vol/src" "$1" "$size"
  list_files "$scratch/vol/src" "$1"
}
gone() { [ -z "$(ls -A "$scratch/vol/src" 2>/dev/null)" ] || { echo "bench: $1 left files behind" >&2; exit 1; }; }
store_empty() {
  [ -z "$(ls "$scratch/vol/.VAPORIZE/$(id -u)" | grep -v -e '^info.shr$' -e '^desktop.ini$')" ] ||
    { echo "bench: the store is not empty" >&2; exit 1; }
}

declare -a t_floor t_vz t_empty t_empty2 t_srm t_shred t_verify t_before
floor() { fresh "$n"; timed t_floor bash -c 'rm -f -- "$@" && sync' rm "${files[@]}"; gone "rm"; }
vz_direct() { fresh "$n"; timed t_vz "$vaporizer" shred --yes --passes 1 "${files[@]}"; gone "vaporizer shred"; }
vz_verify() { fresh "$n"; timed t_verify "$vaporizer" shred --yes --passes 1 --verify "${files[@]}"; gone "vaporizer shred --verify"; }
vz_before() { fresh "$n"; timed t_before "$before" shred --yes --passes 1 "${files[@]}"; gone "the earlier vaporizer shred"; }
vz_store() {  # count array
  fresh "$1"
  "$vaporizer" send --yes "${files[@]}" >/dev/null
  timed "$2" "$vaporizer" empty --yes --passes 1
  store_empty
}
peer_srm() { fresh "$n"; timed t_srm srm -llz "${files[@]}"; gone "srm -llz"; }
peer_shred() { fresh "$n"; timed t_shred shred -n1 -z -u "${files[@]}"; gone "shred -n1"; }
steps=(floor vz_direct "vz_store $n t_empty" peer_srm peer_shred "vz_store $((2 * n)) t_empty2" vz_verify)
[ -z "$before" ] || steps+=(vz_before)
for ((r = 0; r < runs; r++)); do
  for ((k = 0; k < ${#steps[@]}; k++)); do ${steps[(k + r) % ${#steps[@]}]}; done
done

ref=$(median "${t_floor[@]}")
echo "vaporizing $n files of $size bytes with one pass, one call each; median of $runs rounds"
table_head "x floor"
row "floor: rm, then sync" "$ref" "${t_floor[@]}"
row "vaporizer shred --passes 1 (in place)" "$ref" "${t_vz[@]}"
row "vaporizer empty --passes 1 (from the store)" "$ref" "${t_empty[@]}"
row "srm -llz" "$ref" "${t_srm[@]}"
row "shred -n1 -z -u" "$ref" "${t_shred[@]}"
row "vaporizer empty --passes 1 ($((2 * n)) files)" "$ref" "${t_empty2[@]}"
row "vaporizer shred --passes 1 --verify" "$ref" "${t_verify[@]}"
[ -z "$before" ] || row "earlier build: vaporizer shred --passes 1" "$ref" "${t_before[@]}"
m_vz=$(median "${t_vz[@]}")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
goal() {  # what, ratio, limit
  echo "$1: $2x (goal at most $3x): $(awk -v r="$2" -v l="$3" 'BEGIN { print (r <= l ? "met" : "NOT met") }')"
}
goal "vaporizer shred / floor" "$(ratio "$m_vz" "$ref")" 1.5
goal "vaporizer shred / srm -llz" "$(ratio "$m_vz" "$(median "${t_srm[@]}")")" 0.2
goal "vaporizer shred / shred -n1 -z -u" "$(ratio "$m_vz" "$(median "${t_shred[@]}")")" 0.1
goal "vaporizer empty, growth $n -> $((2 * n)) files" "$(ratio "$(median "${t_empty2[@]}")" "$(median "${t_empty[@]}")")" 2.2
echo "verify's cost: vaporizer shred --verify / vaporizer shred: $(ratio "$(median "${t_verify[@]}")" "$m_vz")x"
[ -z "$before" ] || goal "vaporizer shred / the earlier build's" "$(ratio "$m_vz" "$(median "${t_before[@]}")")" 1.2
