#!/usr/bin/env bash
# Medium check: on loop-mounted images of every file system this machine can
# make and mount, 'vaporizer volumes --json' must name the file system with
# its evidence and give the verdict that its kind and mount options call for;
# a file holding 2,000 copies of a marker is then vaporized, which must carry
# a warning exactly when the verdict is not "reaches the old data", and the
# unmounted image is searched.
#   ext4, xfs        write in place: nothing about the file system itself
#                    counts against the overwrite, and no marker may remain
#   ext4 data=journal, f2fs, nilfs2
#                    the verdict says why the overwrite does not reach the
#                    old data; what remains is reported
#   btrfs            copy-on-write: the overwrite leaves the old extents as
#                    they were, as the warning says; the volume trim after
#                    the batch hands them back to the loop device, which
#                    punches holes in the image: no marker may remain, and
#                    the report must say "trimmed".
# Every vaporized file's report says whether its blocks were trimmed.
# Then an ordinary user's store on btrfs, with no trim: no recorded original
# path may stay on the image (the index is No_COW and written over in place).
#
#   tests/forensic/medium_check.sh [PATH/TO/vaporizer]   (as root)
# A file system whose tools are missing or that the kernel cannot mount is
# skipped with a line that says why. Prints GoogleTest-style result lines.
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
check_prefix=MediumCheck. check_tag=medium_check

names=(Ext4 Ext4DataJournal Xfs Btrfs F2fs Nilfs2 BtrfsRecordedPathsAsAUser)
why=""
if [ "$(id -u)" -ne 0 ]; then why="needs root to mount a loop device"
elif [ ! -e /dev/loop-control ]; then why="no loop devices on this machine"
elif [ -z "$exe" ] || [ ! -x "$exe" ]; then why="the companion program is not built (scripts/build native)"
fi
if [ -n "$why" ]; then
  for n in "${names[@]}"; do echo "[ RUN      ] MediumCheck.$n"; check_result "$n" skip "$why"; done
  check_summary
fi

work=$(mktemp -d /tmp/vz-medium-XXXXXX)
img=$work/disk.img mnt=$work/mnt
mkdir -p "$mnt" "$work/config"
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  rm -rf "$work"
}
trap cleanup EXIT

vz() { VAPORIZER_VOLUMES="C=$mnt" XDG_CONFIG_HOME="$work/config" "$exe" "$@" </dev/null; }

# name, mkfs command, mount options, file system type, expectation:
#   in-place | does-not:TEXT (the verdict's reason has TEXT) | trimmed:TEXT
#   (as does-not, and the trim must reach every copy of the marker)
check_fs() {
  local name=$1 mkfs=$2 opts=$3 type=$4 expect=$5
  echo "[ RUN      ] MediumCheck.$name"
  if ! command -v "${mkfs%% *}" >/dev/null; then
    check_result "$name" skip "${mkfs%% *} is not installed (scripts/setup installs it)"; return
  fi
  rm -f "$img"; truncate -s 320M "$img"
  if ! $mkfs "$img" >"$work/mkfs.log" 2>&1; then
    check_result "$name" fail "$mkfs failed: $(tail -n 2 "$work/mkfs.log" | tr '\n' ' ')"; return
  fi
  if ! mount -o "loop$opts" "$img" "$mnt" 2>"$work/mount.log"; then
    local known="not in /proc/filesystems"
    grep -qw "$type" /proc/filesystems && known="listed in /proc/filesystems"
    check_result "$name" skip "the kernel cannot mount $type here ($known): $(head -n 1 "$work/mount.log")"; return
  fi
  local verdict
  if ! verdict=$(python3 - "$type" "$expect" "$(vz volumes --json)" 2>&1 <<'PY'
import json, sys
fs, expect = sys.argv[1], sys.argv[2]
c = [d for d in json.loads(sys.argv[3]) if d["drive"] == "C:"][0]
m, v = c["medium"], c["verdict"]
assert m["fileSystem"]["value"] == fs and m["fileSystem"]["evidence"], m["fileSystem"]
assert any(l.startswith("loop") for l in m.get("layers", [])), m.get("layers")
assert m["beneath"]["fileSystem"]["evidence"], m["beneath"]
assert v["why"], v
if expect == "in-place":
    # Only the medium beneath the image may count against the overwrite.
    assert all(r["text"].startswith("beneath, on the medium of the file") for r in v["reasons"]), v["reasons"]
else:
    text = expect.split(":", 1)[1]
    assert v["overwriteInPlace"] == "does not reach the old data" and text in v["why"], v
print(v["overwriteInPlace"] + ("" if v["overwriteInPlace"] == "reaches the old data" else ": " + v["why"]))
PY
  ); then
    umount "$mnt"; check_result "$name" fail "volumes --json: $verdict"; return
  fi
  local marker
  marker="vz-medium-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')-marker"
  yes "$marker" | head -n 2000 >"$mnt/secret.txt"
  sync
  local out
  out=$(vz shred --yes --passes 1 "$mnt/secret.txt" 2>&1)
  umount "$mnt"
  local left
  left=$(grep -a -o -F "$marker" "$img" | wc -l)
  echo "medium_check: $name: $verdict"
  echo "medium_check: $name: $left of 2000 copies of the marker remain on the image"
  if ! echo "$out" | grep -q "^vaporized: "; then
    check_result "$name" fail "the file was not vaporized: $out"; return
  fi
  echo "medium_check: $name: $(echo "$out" | grep -o '^vaporized: .*(.*trimmed)$' | sed 's/.*(//; s/)$//')"
  local warned=0
  echo "$out" | grep -q "^warning (1 item on C:): the overwrite cannot be relied on" && warned=1
  case "$verdict" in
    "reaches the old data") [ "$warned" -eq 0 ] || { check_result "$name" fail "a warning without a reason: $out"; return; } ;;
    *) [ "$warned" -eq 1 ] || { check_result "$name" fail "the report says nothing of the verdict: $out"; return; } ;;
  esac
  case "$expect" in
    in-place) [ "$left" -eq 0 ] || { check_result "$name" fail "$left copies remain where the overwrite reaches in place"; return; } ;;
    trimmed:*)
      echo "$out" | grep -q "^vaporized: .*(trimmed)$" || { check_result "$name" fail "the report does not say trimmed: $out"; return; }
      [ "$left" -eq 0 ] || { check_result "$name" fail "$left copies remain although the volume was trimmed"; return; } ;;
  esac
  check_result "$name" ok
}

check_fs Ext4 "mkfs.ext4 -q -F" "" ext4 in-place
check_fs Ext4DataJournal "mkfs.ext4 -q -F" ",data=journal" ext4 "does-not:data=journal"
check_fs Xfs "mkfs.xfs -q -f" "" xfs in-place
check_fs Btrfs "mkfs.btrfs -q -f" "" btrfs "trimmed:copy-on-write"
check_fs F2fs "mkfs.f2fs -q -f" "" f2fs "does-not:log-structured"
check_fs Nilfs2 "mkfs.nilfs2 -q -f" "" nilfs2 "does-not:log-structured"

# An ordinary user's store on btrfs, without the volume trim (root's): after
# sends, a vaporize, a restore and an empty, the unmounted image holds no
# copy of a recorded original path (the index is No_COW and written over in
# place), and 'volumes' before and the report after say what btrfs could
# still keep (a snapshot).
check_recorded_paths() {
  local name=BtrfsRecordedPathsAsAUser u=$mnt/u n out said left=0
  echo "[ RUN      ] MediumCheck.$name"
  command -v mkfs.btrfs >/dev/null && command -v setpriv >/dev/null ||
    { check_result $name skip "mkfs.btrfs or setpriv is not installed"; return; }
  rm -f "$img"; truncate -s 256M "$img" && mkfs.btrfs -q -f "$img" >/dev/null && mount -o loop,nodiscard "$img" "$mnt" ||
    { check_result $name skip "btrfs cannot be made or mounted here"; return; }
  cp "$exe" "$work/vaporizer" && chmod 755 "$work" && mkdir -p "$u/Work" "$work/cfg" && chown 65534 "$u" "$u/Work" "$work/cfg"
  as() { setpriv --reuid=65534 --regid=65534 --clear-groups env VAPORIZER_VOLUMES="C=$u" XDG_CONFIG_HOME="$work/cfg" \
    "$work/vaporizer" "$@" </dev/null; }
  local tag; tag=$(od -An -tx4 -N4 /dev/urandom | tr -d ' \n')
  local files=(); for n in 1 2 3 4 5 6; do files+=("Work/recorded-$tag-$n.txt"); done
  for n in "${files[@]}"; do echo data >"$u/$n" && chown 65534 "$u/$n"; done
  said=$(as volumes | grep -c "recorded names: .*snapshot")
  for n in "${files[@]:0:3}"; do as send --yes "$u/$n" >/dev/null && sync; done
  out=$(as vaporize --yes "$u/${files[0]}")
  for n in "${files[@]:3}"; do as send --yes "$u/$n" >/dev/null && sync; done
  as restore --yes "$u/${files[1]}" >/dev/null && sync
  out+=$'\n'$(as empty --yes) && sync
  said=$((said + $(grep -c "^recorded names (on C:): .*snapshot" <<<"$out")))
  umount "$mnt"
  for n in "${files[@]}"; do left=$((left + $(grep -a -o -F "C:\\${n//\//\\}" "$img" | wc -l))); done
  echo "medium_check: $name: $left copies of 6 recorded original paths remain on the image; said $said times"
  [ "$left" = 0 ] && [ "$said" = 3 ] || { check_result $name fail "$out"; return; }
  check_result $name ok
}
check_recorded_paths
check_summary
