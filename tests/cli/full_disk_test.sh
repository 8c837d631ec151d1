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
name=FullDisk.ASendThatFoundNoRoomAndTheNextOneBothListTheirItems
echo "[ RUN      ] $name"
if [ "$(id -u)" -ne 0 ]; then
  echo "full_disk: skipped: needs root to mount a small file system"
  echo "[  SKIPPED ] $name"
  exit 0
fi
work=$(mktemp -d /tmp/vz-full-XXXXXX)
mnt=$work/mnt
mkdir -p "$mnt" "$work/config"
trap 'umount "$mnt" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "full_disk: $1"; echo "[  FAILED  ] $name"; exit 1; }
mount -t tmpfs -o size=256k tmpfs "$mnt" || fail "cannot mount a tmpfs"
vz() { VAPORIZER_VOLUMES="F=$mnt" XDG_CONFIG_HOME="$work/config" "$exe" "$@"; }

mkdir "$mnt/Work"
echo "first item" >"$mnt/Work/a.txt"
echo "second item" >"$mnt/Work/b.txt"
mkdir "$mnt/.VAPORIZE" && : >"$mnt/.VAPORIZE/info.shr"
dd if=/dev/zero of="$mnt/filler" bs=1k >/dev/null 2>&1   # until the disk is full
vz send --yes "$mnt/Work/a.txt" >"$work/first.txt" 2>&1
first=$?
[ "$first" -eq 0 ] || [ -e "$mnt/Work/a.txt" ] || fail "a.txt left its place though the send said: $(cat "$work/first.txt")"
rm -f "$mnt/filler"
vz send --yes "$mnt/Work/a.txt" "$mnt/Work/b.txt" >"$work/second.txt" 2>&1 || true
[ -e "$mnt/Work/a.txt" ] && fail "a.txt is still in place after room was made: $(cat "$work/second.txt")"
[ -e "$mnt/Work/b.txt" ] && fail "b.txt was not sent: $(cat "$work/second.txt")"
list=$(vz list --json) || fail "list failed"
python3 - "$list" "$mnt" <<'PY' || fail "the listing is wrong: $list"
import json, sys
items = json.loads(sys.argv[1])
mnt = sys.argv[2]
originals = sorted(i["original"] for i in items)
assert originals == [mnt + "/Work/a.txt", mnt + "/Work/b.txt"], originals
for i in items:
    want = "first item\n" if i["original"].endswith("a.txt") else "second item\n"
    assert open(i["stored"]).read() == want, i
PY
left=$(ls -A "$mnt/.VAPORIZE" | grep -v -e '^info.shr$' -e '^desktop.ini$' | wc -l)
[ "$left" -eq 2 ] || fail "the store holds $left items for 2 listed"
echo "full_disk: with no room left the send exited $first: $(cat "$work/first.txt")"
echo "[       OK ] $name"
