#!/usr/bin/env bash
# Full disk: a send onto a file system with no room left, then another once
# room was made. Whatever the first one managed, both items end up listed
# under their own original paths with their contents, and nothing sits in
# the store unseen.
#   tests/cli/full_disk_test.sh PATH/TO/vaporizer     (as root: mounts a tmpfs)
# Prints GoogleTest-style result lines; skips with a line saying why without
# root.
set -u
exe=$1
source "$(dirname "$0")/../support/check.sh"
check_prefix=FullDisk.
if [ "$(id -u)" -ne 0 ]; then
  echo "[ RUN      ] FullDisk.ASendThatFoundNoRoomAndTheNextOneBothListTheirItems"
  echo "full_disk: skipped: needs root to mount a small file system"
  echo "[  SKIPPED ] FullDisk.ASendThatFoundNoRoomAndTheNextOneBothListTheirItems"
  echo "[  SKIPPED ] 1 tests."
  exit 0
fi
work=$(mktemp -d /tmp/vz-full-XXXXXX)
mnt=$work/mnt
mkdir -p "$mnt" "$work/config"
trap 'umount "$mnt" 2>/dev/null; rm -rf "$work"' EXIT
vz() { VAPORIZER_VOLUMES="F=$mnt" XDG_CONFIG_HOME="$work/config" "$exe" "$@"; }
say() { echo "full_disk: $1"; return 1; }

full_then_room() {
  mount -t tmpfs -o size=256k tmpfs "$mnt" || say "cannot mount a tmpfs" || return 1
  mkdir -p "$mnt/Work" "$mnt/.VAPORIZE/$(id -u)" && chmod 700 "$mnt/.VAPORIZE/$(id -u)" &&
    : >"$mnt/.VAPORIZE/$(id -u)/info.shr"
  echo "first item" >"$mnt/Work/a.txt"
  echo "second item" >"$mnt/Work/b.txt"
  dd if=/dev/zero of="$mnt/filler" bs=1k >/dev/null 2>&1  # until the disk is full
  vz send --yes "$mnt/Work/a.txt" >"$work/first.txt" 2>&1
  local first=$?
  echo "full_disk: with no room left the send exited $first: $(cat "$work/first.txt")"
  [ "$first" -eq 0 ] || [ -e "$mnt/Work/a.txt" ] || say "a.txt left its place though the send failed" || return 1
  rm -f "$mnt/filler"
  vz send --yes "$mnt/Work/a.txt" "$mnt/Work/b.txt" >"$work/second.txt" 2>&1
  [ ! -e "$mnt/Work/a.txt" ] && [ ! -e "$mnt/Work/b.txt" ] || say "not sent once room was made: $(cat "$work/second.txt")" || return 1
  vz list --json >"$work/list.json" || say "list failed" || return 1
  python3 - "$work/list.json" "$mnt" <<'PY' || say "the listing is wrong: $(cat "$work/list.json")" || return 1
import json, sys
items = json.load(open(sys.argv[1]))
mnt = sys.argv[2]
assert sorted(i["original"] for i in items) == [mnt + "/Work/a.txt", mnt + "/Work/b.txt"], items
for i in items:
    want = "first item\n" if i["original"].endswith("a.txt") else "second item\n"
    assert open(i["stored"]).read() == want, i
PY
  local left
  left=$(ls -A "$mnt/.VAPORIZE/$(id -u)" | grep -v -e '^info.shr$' -e '^desktop.ini$' | wc -l)
  [ "$left" -eq 2 ] || say "the store holds $left items for 2 listed"
}

check ASendThatFoundNoRoomAndTheNextOneBothListTheirItems full_then_room
check_summary
