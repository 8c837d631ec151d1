#!/usr/bin/env bash
# Flush check: files holding a unique marker are vaporized on a freshly made
# ext4 image mounted through a loop device; the image is then unmounted and
# every byte of it searched. A pass that was not flushed before the file was
# cut and deleted leaves the whole original content on the device, so any
# marker found there is a failure.
# Two controls show that the search can find what it looks for: a file
# deleted plainly, and a file overwritten without a flush, then cut and
# deleted, must both leave their marker behind.
#
#   tests/forensic/flush_check.sh [PATH/TO/vaporizer]   (as root)
# Without root, a loop device or mkfs.ext4 it prints one line saying why it
# skipped. Prints GoogleTest-style result lines.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VZ_BUILD_ROOT:-$root/build}
exe=${1:-}
if [ -z "$exe" ]; then
  for b in "$build/native/vaporizer" "$build/native-asan/vaporizer"; do
    [ -x "$b" ] && { exe=$b; break; }
  done
fi
source "$root/tests/support/check.sh"
check_prefix=FlushCheck. check_tag=flush_check
result() { echo "[ RUN      ] FlushCheck.$1"; check_result "$@"; }

why=""
if [ "$(id -u)" -ne 0 ]; then why="needs root to mount a loop device"
elif [ ! -e /dev/loop-control ]; then why="no loop devices on this machine"
elif ! command -v mkfs.ext4 >/dev/null; then why="mkfs.ext4 is not installed"
elif [ -z "$exe" ] || [ ! -x "$exe" ]; then why="the companion program is not built (scripts/build native)"
fi
if [ -n "$why" ]; then
  result Ext4 skip "$why"
  check_summary
fi

work=$(mktemp -d /tmp/vz-flush-XXXXXX)
img=$work/disk.img mnt=$work/mnt
mkdir -p "$mnt" "$work/config"
mounted=0
cleanup() {
  ((mounted)) && umount "$mnt" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mount_fresh() {
  ((mounted)) && { umount "$mnt" || return 1; mounted=0; }
  rm -f "$img"
  truncate -s 64M "$img" && mkfs.ext4 -q -F "$img" && mount -o loop "$img" "$mnt" && mounted=1
}
unmount() { ((mounted)) && umount "$mnt" && mounted=0; }

# A marker that occurs nowhere else: random, and never in a name or a path.
new_marker() { echo "vz-flush-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')-marker"; }
# A file of about `size` bytes made of the marker, ending in a partial block.
fill() {  # path, marker, size
  local line="$2 "
  local n=$(( $3 / ${#line} + 1 ))
  mkdir -p "$(dirname "$1")"
  yes "$2" | head -n "$n" | head -c "$3" >"$1"
}
found() { grep -c -a -F "$1" "$img" 2>/dev/null || true; }

vz() {
  VAPORIZER_VOLUMES="F=$mnt" XDG_CONFIG_HOME="$work/config" "$exe" "$@" >"$work/out.txt" 2>&1
}

# Controls: the search finds what a plain delete and an unflushed overwrite
# leave behind.
mount_fresh || { result Ext4 fail "cannot make and mount an ext4 image"; check_summary; }
m1=$(new_marker) m2=$(new_marker)
fill "$mnt/plain.txt" "$m1" 300000
fill "$mnt/unflushed.txt" "$m2" 300000
sync
rm "$mnt/plain.txt"
size=$(stat -c %s "$mnt/unflushed.txt")
dd if=/dev/zero of="$mnt/unflushed.txt" bs="$size" count=1 conv=notrunc status=none
truncate -s 0 "$mnt/unflushed.txt"
rm "$mnt/unflushed.txt"
unmount
n=$(found "$m1")
if [ "$n" -gt 0 ]; then result ControlPlainDeleteLeavesTheMarker ok
else result ControlPlainDeleteLeavesTheMarker fail "the search finds nothing of a plainly deleted file"; fi
n=$(found "$m2")
echo "flush_check: an overwrite of $size bytes without a flush, then cut and delete: $n copies of its marker remain"
if [ "$n" -gt 0 ]; then result ControlUnflushedOverwriteLeavesTheMarker ok
else result ControlUnflushedOverwriteLeavesTheMarker fail "an overwrite that was never flushed left nothing to find, so this check cannot show a missing flush"; fi

# Vaporized files: one pass of zeros, and three passes of 0xFF, over files of
# several sizes (one block, partial blocks, many blocks, one large enough to
# be written around the cache) and a folder.
check_vaporized() {  # name, shred arguments...
  local name=$1; shift
  mount_fresh || { result "$name" fail "cannot make and mount an ext4 image"; return; }
  local markers=() sizes=(1 4095 4097 70000 9000000) i=0
  for s in "${sizes[@]}"; do
    local m; m=$(new_marker); markers+=("$m")
    fill "$mnt/data/f$i.bin" "$m" "$s"; i=$((i + 1))
  done
  local m; m=$(new_marker); markers+=("$m")
  fill "$mnt/data/folder/deep/g.txt" "$m" 20000
  sync
  if ! vz shred --yes "$@" "$mnt/data/f0.bin" "$mnt/data/f1.bin" "$mnt/data/f2.bin" "$mnt/data/f3.bin" \
      "$mnt/data/f4.bin" "$mnt/data/folder"; then
    result "$name" fail "the companion program failed: $(tr '\n' ' ' <"$work/out.txt")"
    return
  fi
  if [ -n "$(ls -A "$mnt/data")" ]; then
    result "$name" fail "items are left: $(ls -A "$mnt/data" | tr '\n' ' ')"
    return
  fi
  unmount
  local left=0 total=${#markers[@]}
  for m in "${markers[@]}"; do [ "$(found "$m")" -gt 0 ] && left=$((left + 1)); done
  echo "flush_check: $name: $left of $total markers remain"
  if [ "$left" -eq 0 ]; then result "$name" ok; else result "$name" fail "$left of $total markers remain on the device"; fi
}

# Many small files, flushed in groups: 1,000 of them in ten folders, each
# with a marker of its own, vaporized in one call.
check_many() {  # name, shred arguments...
  local name=$1; shift
  mount_fresh || { result "$name" fail "cannot make and mount an ext4 image"; return; }
  local prefix
  prefix="vz-many-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')-"
  python3 - "$mnt/many" "$prefix" <<'PY'
import os, sys
root, prefix = sys.argv[1], sys.argv[2]
for i in range(1000):
    d = os.path.join(root, "d%d" % (i % 10))
    os.makedirs(d, exist_ok=True)
    line = ("%s%d-end " % (prefix, i)).encode()
    with open(os.path.join(d, "f%d.txt" % i), "wb") as f:
        f.write((line * (700 // len(line) + 1))[:700])
PY
  sync
  local seen left
  seen=$(grep -a -o -E "${prefix}[0-9]+-end" "$img" | sort -u | wc -l)
  if ! vz shred --yes "$@" "$mnt/many"; then
    result "$name" fail "the companion program failed: $(tail -n 3 "$work/out.txt" | tr '\n' ' ')"
    return
  fi
  if [ -e "$mnt/many" ]; then
    result "$name" fail "items are left: $(find "$mnt/many" | head -n 5 | tr '\n' ' ')"
    return
  fi
  unmount
  left=$(grep -a -o -E "${prefix}[0-9]+-end" "$img" | sort -u | wc -l)
  echo "flush_check: $name: $left of 1000 markers remain (the search saw $seen before)"
  if [ "$seen" -ne 1000 ]; then result "$name" fail "before vaporizing, the search saw $seen of 1000 markers"
  elif [ "$left" -eq 0 ]; then result "$name" ok
  else result "$name" fail "$left of 1000 markers remain on the device"; fi
}

check_vaporized OnePassOfZerosLeavesNoMarker --passes 1
check_vaporized ThreePassesOfOnesLeaveNoMarker --passes 3 --fill 0xFF
check_many AThousandSmallFilesLeaveNoMarker --passes 1
check_many AThousandSmallFilesWithTwoPassesLeaveNoMarker --passes 2 --fill 0xFF
check_summary
