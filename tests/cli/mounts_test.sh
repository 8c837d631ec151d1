#!/usr/bin/env bash
# Drives from the mount table, as a user meets them without VAPORIZER_VOLUMES:
# loop-mounted ext4, xfs and btrfs and a FAT image (fusefat) are drives at
# once; a file on each is sent, listed, restored and vaporized; mounted again
# elsewhere, each keeps its letter and its items are listed and restored at
# the new place, and emptying by age while they are away takes none of them;
# a drive that looks removable has no store; a user who may not write the
# top of a drive has no store there (what is sent stays), and the home still works; once root
# made the drive's store folder, each user keeps a store of their own in it.
# A drive bound elsewhere, whole or by folders, stays one drive with its
# letter (btrfs subvolumes stay drives of their own); a mount inside an item
# or on it keeps the item from being sent, shredded or emptied.
# The program sees this test's mounts only (VAPORIZER_TEST_MOUNTINFO): no
# store is ever made on the machine's own file systems, which is checked too.
#   tests/cli/mounts_test.sh PATH/TO/vaporizer   (as root)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/support/check.sh"
check_prefix=Mounts. check_tag=mounts
tests=(DrivesAtOnce EachSendsListsRestoresVaporizes RemountKeepsLettersAndPlaces BindMountedDriveIsOneDrive
       MountsInsideItemsAreNeverWalked RemovableHasNoStore
       UnprivilegedUserHasNoStoreButHisHome NoStoreOnTheMachinesDrives)
why=""
if [ "$(id -u)" -ne 0 ]; then why="needs root to mount loop devices"
elif [ ! -e /dev/loop-control ]; then why="no loop devices on this machine"
elif [ ! -x "${1:-}" ]; then why="the companion program is not built"
fi
if [ -n "$why" ]; then
  for n in "${tests[@]}"; do echo "[ RUN      ] Mounts.$n"; check_result "$n" skip "$why"; done
  check_summary
fi
python=$(python3 -c 'import sys; print(sys.executable)')
work=$(mktemp -d /tmp/vz-mounts-XXXXXX)
chmod 755 "$work"
mkdir -p "$work/home" "$work/config" "$work/m" "$work/n" "$work/fake"
cp "$1" "$work/vaporizer"   # readable by the unprivileged user too
# Each file system under a name of the test's own; the ext4 mount point has
# a blank, which the mount table escapes.
declare -A point=([ext4]="ext 4" [xfs]=xfs [btrfs]=btrfs [fat]=fat) size=([ext4]=32M [xfs]=320M [btrfs]=128M [fat]=32M)
fss=()
for fs in ext4 xfs btrfs fat; do
  tool=mkfs.${fs/fat/vfat}
  if command -v "$tool" >/dev/null && { [ $fs != fat ] || command -v fusefat >/dev/null; }; then
    fss+=("$fs") && truncate -s "${size[$fs]}" "$work/$fs.img" && $tool $([ $fs = fat ] || echo -q) "$work/$fs.img" >/dev/null
  else echo "mounts: $fs left out: its tools are missing"; fi
done

unmount_all() {
  awk -v w="$work/" 'index($5, w) == 1 { print $5 }' /proc/self/mountinfo | tac | while read -r m; do
    m=$(printf '%b' "${m//\\/\\0}")  # \040 is a blank
    fusermount -u "$m" 2>/dev/null || umount "$m" 2>/dev/null || {
      # A FUSE driver that no longer answers would leave every later stat
      # of the mount table (Wine's included) waiting on it.
      pkill -9 -f "fusefat .*$work/" ; umount -l "$m"; }
  done
}
trap 'unmount_all; rm -rf "$work"' EXIT
trap 'exit 124' TERM INT

# The machine's own mounts, and whether each has a store, before the tests.
real_stores() {
  awk -v w="$work/" 'index($5, w) != 1 { print $5 }' /proc/self/mountinfo | sort -u |
    while read -r m; do m=$(printf '%b' "${m//\\/\\0}"); [ -e "$m/.VAPORIZE" ] && echo "$m"; done
  [ -e "$HOME/.VAPORIZE" ] && echo "$HOME"
}
stores_before=$(real_stores)

mount_all() {  # folder
  local fs dir
  for fs in "${fss[@]}"; do
    dir="$1/${point[$fs]}"
    mkdir -p "$dir"
    if [ $fs = fat ]; then fusefat -o rw+ "$work/fat.img" "$dir" >/dev/null 2>&1; else mount -o loop "$work/$fs.img" "$dir"; fi
    chmod 755 "$dir" 2>/dev/null  # FAT has no modes
  done
  # The table the program reads: this test's mounts, and a line that names
  # no mount at all, which must be left out.
  { grep -F " $work/" /proc/self/mountinfo; echo "999999 1 0:999 / $work/fake rw - ext4 /dev/fake rw"; } >"$work/mountinfo"
}

vz() {
  env -u VAPORIZER_VOLUMES VAPORIZER_TEST_MOUNTINFO="$work/mountinfo" HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
    "$work/vaporizer" "$@" </dev/null
}
# Questions are answered Yes by a program that keeps what it was asked.
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/asked"\n' "$work" >"$work/ask"
touch "$work/asked" && chmod 755 "$work/ask" && chmod 666 "$work/asked"
# "fs=letter" for each of the test's file systems, as 'volumes' shows them.
letters() {
  vz volumes --json | "$python" -c '
import json, sys
base, names = sys.argv[1], sys.argv[2:]
drives = {d["root"]: d["drive"] + d["type"] for d in json.load(sys.stdin) if d.get("drive")}
print(" ".join(n + "=" + drives.get(base + "/" + n, "none") for n in names))' "$1" "${point[@]}"
}

mount_all "$work/m"

t_drives_at_once() {
  local seen; seen=$(letters "$work/m") || return 1
  [ "$(vz volumes --json | grep -c fake)" = 0 ] && [[ $seen != *none* ]] && [[ $seen != *removable* ]] || {
    echo "$seen"; return 1; }
  vz volumes | grep -q "C:  $work/home "
}

t_each_sends_lists_restores_vaporizes() {
  local fs r
  for fs in "${fss[@]}"; do
    r="$work/m/${point[$fs]}"
    echo "$fs data" >"$r/doc.txt"
    vz send --yes "$r/doc.txt" | grep -q "^sent: " && [ ! -e "$r/doc.txt" ] || { echo "$fs: not sent"; return 1; }
    vz list --json | grep -qF "\"original\": \"$r/doc.txt\"" || { echo "$fs: not listed"; return 1; }
    vz restore --yes "$r/doc.txt" >/dev/null && [ "$(cat "$r/doc.txt")" = "$fs data" ] || { echo "$fs: not restored"; return 1; }
    vz send --yes "$r/doc.txt" >/dev/null && vz vaporize --yes "$r/doc.txt" | grep -q "^vaporized: " || return 1
    [ -z "$(ls "$r/.VAPORIZE/$(id -u)" | grep -v -e desktop.ini -e info.shr)" ] || { echo "$fs: left in the store"; return 1; }
  done
}

t_remount_keeps_letters_and_places() {
  local fs before after
  for fs in "${fss[@]}"; do echo "kept on $fs" >"$work/m/${point[$fs]}/keep.txt"; done
  vz send --yes "$work/m/"*/keep.txt >/dev/null && before=$(letters "$work/m") || return 1
  find "$work/m" -maxdepth 4 -path '*/.VAPORIZE/*.txt' -exec touch -d '3 days ago' {} + || return 1
  unmount_all && grep -F " $work/" /proc/self/mountinfo >"$work/mountinfo"
  [ "$(vz list | grep -c ": drive not present (last mounted at $work/m/")" = "${#fss[@]}" ] || { vz list; return 1; }
  # Emptying while they are away says what it kept, as a skipped item.
  local out rc
  out=$(vz empty --yes); rc=$?
  [ $rc = 1 ] && [ "$(grep -c ": drive not present (last mounted at $work/m/.*): its stored items are kept" <<<"$out")" = \
    "${#fss[@]}" ] && ! grep -q "is empty" <<<"$out" || { echo "$rc: $out"; return 1; }
  # Emptying by age while they are away chooses none of their items.
  vz list --older-than 1d | grep -q "^Nothing goes by the rule" &&
    [ "$(vz empty --yes --older-than 1d | grep -c -e ": drive not present" -e ": 0 of 0 items chosen")" = $((${#fss[@]} + 1)) ] ||
    { vz empty --yes --older-than 1d; return 1; }
  mount_all "$work/n"
  after=$(letters "$work/n")
  [ "$before" = "$after" ] || { echo "letters before: $before; after: $after"; return 1; }
  [ "$(vz list --older-than 1d --json | grep -c '"original": ".*/keep.txt"')" = "${#fss[@]}" ] || return 1
  for fs in "${fss[@]}"; do
    vz list --json | grep -qF "\"original\": \"$work/n/${point[$fs]}/keep.txt\"" || { echo "$fs: not at its new place"; return 1; }
    vz restore --yes "$work/n/${point[$fs]}/keep.txt" >/dev/null || return 1
    [ "$(cat "$work/n/${point[$fs]}/keep.txt")" = "kept on $fs" ] || return 1
  done
}

# A drive bind-mounted elsewhere too is one drive: its letter stays, each
# item is listed once, and volumes names the other mount point.
t_bind_mounted_drive_is_one_drive() {
  local r="$work/n/${point[${fss[0]}]}" b="$work/bind" before out
  echo once >"$r/once.txt" && vz send --yes "$r/once.txt" >/dev/null && before=$(letters "$work/n") || return 1
  mkdir -p "$b" && mount --bind "$r" "$b" && grep -F " $work/" /proc/self/mountinfo >"$work/mountinfo" || return 1
  out=$(vz volumes)
  [ "$(letters "$work/n")" = "$before" ] && [ "$(vz list --json | grep -c '"original": ".*/once.txt"')" = 1 ] &&
    grep -q "also mounted at: *$b " <<<"$out" && vz restore --yes "$r/once.txt" >/dev/null && [ "$(cat "$b/once.txt")" = once ] ||
    { echo "$before / $(letters "$work/n")"; echo "$out"; vz list; umount "$b"; return 1; }
  # Emptying while it is mounted twice does each item once, and says nothing is gone.
  vz send --yes "$r/once.txt" >/dev/null && out=$(vz empty --yes) && [ "$(grep -c "^vaporized: " <<<"$out")" = 1 ] &&
    ! grep -q "no longer" <<<"$out" || { echo "empty: $out"; umount "$b"; return 1; }
  umount "$b" || return 1
  # Two folders of it bound elsewhere, the drive's own mount gone and back:
  # one drive at the first of them meanwhile (its store, at the top, is not
  # seen there), its letter kept throughout.
  local dev letter; dev=$(findmnt -n -o SOURCE --target "$r") && letter=$(grep -o "${point[${fss[0]}]}=." <<<"$before") || return 1
  letter=${letter: -1}
  echo twice >"$r/twice.txt" && vz send --yes "$r/twice.txt" >/dev/null && mkdir -p "$r/s1" "$r/s2" "$b" "$b.2" &&
    mount --bind "$r/s1" "$b" && mount --bind "$r/s2" "$b.2" && umount "$r" &&
    grep -F " $work/" /proc/self/mountinfo >"$work/mountinfo" || return 1
  out=$(vz volumes)
  grep -q "^  $letter:  $b  " <<<"$out" && grep -q "also mounted at: *$b.2 " <<<"$out" || { echo "$out"; return 1; }
  mount "$dev" "$r" && grep -F " $work/" /proc/self/mountinfo >"$work/mountinfo" && [ "$(letters "$work/n")" = "$before" ] &&
    [ "$(vz list --json | grep -c "\"original\": \"$r/twice.txt\"")" = 1 ] && vz restore --yes "$r/twice.txt" >/dev/null ||
    { vz volumes; vz list; return 1; }
  umount "$b" "$b.2" && grep -F " $work/" /proc/self/mountinfo >"$work/mountinfo" || return 1
  # The subvolumes of one btrfs share its number in the mount table, yet
  # each is a file system (and a drive) of its own.
  [[ " ${fss[*]} " == *" btrfs "* ]] || return 0
  btrfs -q subvolume create "$work/n/btrfs/sv" && mount -o subvol=sv "$(findmnt -n -o SOURCE --target "$work/n/btrfs")" "$b" &&
    grep -F " $work/" /proc/self/mountinfo >"$work/mountinfo" || return 1
  out=$(vz volumes)
  umount "$b" && grep -F " $work/" /proc/self/mountinfo >"$work/mountinfo" && btrfs -q subvolume delete "$work/n/btrfs/sv" || return 1
  grep -q "^  [D-Z]:  $b  " <<<"$out" && ! grep -q "also mounted at" <<<"$out" || { echo "$out"; return 1; }
}

# A mount inside an item (a bind mount of a folder or of a file of the same
# drive) or on the item itself: sending, shredding and emptying refuse it
# whole, whether the drives come from the mount table or from
# VAPORIZER_VOLUMES, and what the mount shows stays.
t_mounts_inside_items() {
  local r="$work/n/${point[${fss[0]}]}" how shape c out rc
  local -A on=([folder]=item/sub [file]=item/f.txt [item]=item) from=([folder]=other [file]=other/k.txt [item]=other)
  vzt() { VAPORIZER_VOLUMES="C=$work/home;D=$r" HOME="$work/home" XDG_CONFIG_HOME="$work/config" "$work/vaporizer" "$@" </dev/null; }
  for how in vz vzt; do
    for shape in folder file item; do
      rm -rf "$r/item" "$r/other" && mkdir -p "$r/item/sub" "$r/other" && echo keep >"$r/other/k.txt" &&
        echo x >"$r/item/x.txt" && echo f >"$r/item/f.txt" && mount --bind "$r/${from[$shape]}" "$r/${on[$shape]}" || return 1
      for c in send shred; do
        out=$($how $c --yes "$r/item" 2>&1); rc=$?
        [ $rc = 1 ] && grep -q "a bind mount is mounted \(inside\|on\) it" <<<"$out" && [ "$(cat "$r/other/k.txt")" = keep ] ||
          { echo "$how $shape $c: $rc $out"; umount "$r/${on[$shape]}"; return 1; }
      done
      umount "$r/${on[$shape]}" && [ "$(cat "$r/item/x.txt" "$r/item/f.txt")" = "$(printf 'x\nf')" ] || return 1
    done
    # A mount put inside an item after it was sent: emptying leaves it.
    local stored
    $how send --yes "$r/item" >/dev/null && stored=$(dirname "$(find "$r/.VAPORIZE/0" -name x.txt)") &&
      mount --bind "$r/other" "$stored/sub" || return 1
    out=$($how empty --yes 2>&1); rc=$?
    umount "$stored/sub"
    [ $rc = 1 ] && grep -q "a bind mount is mounted inside it" <<<"$out" && [ "$(cat "$r/other/k.txt")" = keep ] &&
      [ -f "$stored/x.txt" ] && $how empty --yes >/dev/null && [ ! -e "$stored" ] || { echo "$how: $out"; return 1; }
  done
  rm -rf "$r/other"
}

# sysfs as the test shows it: the ext4 image's loop device sits on a USB bus.
t_removable_has_no_store() {
  local r="$work/n/ext 4" dev
  dev=$(losetup -j "$work/ext4.img" | cut -d: -f1) || return 1
  mkdir -p "$work/sys/dev/block"
  ln -sfn "../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host6/block/${dev##*/}" \
    "$work/sys/dev/block/$(cat "/sys/class/block/${dev##*/}/dev")"
  echo "on a stick" >"$r/usb.txt" && : >"$work/asked"
  VAPORIZER_TEST_SYSFS=$work/sys vz --ask-with "$work/ask" send "$r/usb.txt" | grep -q "vaporized: $r/usb.txt" &&
    grep -q "($r) is a removable drive, which keeps no store" "$work/asked" && grep -q "^Caution: " "$work/asked" &&
    [ ! -e "$r/usb.txt" ] || { cat "$work/asked"; return 1; }
  [ -z "$(ls "$r/.VAPORIZE/$(id -u)" | grep -v -e desktop.ini -e info.shr)" ]
}

# Without a store of its own there, the drive's top is root's (0755).
t_unprivileged_user() {
  local r="$work/n/${point[${fss[0]}]}"
  rm -rf "$r/.VAPORIZE" && mkdir -m 1777 "$r/pub" && chown 65534:65534 "$work/home" || return 1
  local nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env -u VAPORIZER_VOLUMES
                 VAPORIZER_TEST_MOUNTINFO="$work/mountinfo" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config")
  as_nobody() { "${nobody[@]}" "$work/vaporizer" "$@"; }
  "${nobody[@]}" sh -c "echo mine >'$r/pub/n.txt' && echo home >'$work/home/h.txt'" || return 1
  # A fixed drive keeps what is sent from it when no store can be made there.
  local out
  out=$(as_nobody send --yes "$r/pub/n.txt" </dev/null 2>&1)
  [ $? = 1 ] && grep -q "($r) holds no store for you: you may not make $r/.VAPORIZE" <<<"$out" &&
    [ "$(cat "$r/pub/n.txt")" = mine ] && [ ! -e "$r/.VAPORIZE" ] || { echo "$out"; return 1; }
  as_nobody send --yes "$work/home/h.txt" </dev/null | grep -q "^sent: " && [ ! -e "$work/home/h.txt" ] &&
    as_nobody list </dev/null | grep -q "h.txt" || return 1
  # Once root's send made the drive's store folder for every user, each
  # keeps a store of their own there that the other cannot open.
  echo "root's" >"$r/r.txt" && vz send --yes "$r/r.txt" >/dev/null || return 1
  "${nobody[@]}" sh -c "echo mine >'$r/pub/n.txt'" && as_nobody send --yes "$r/pub/n.txt" </dev/null | grep -q "^sent: " &&
    out=$(as_nobody list --json </dev/null) && grep -qF "$r/pub/n.txt" <<<"$out" && ! grep -qF "$r/r.txt" <<<"$out" || return 1
  [ "$(stat -c %a:%u "$r/.VAPORIZE" "$r/.VAPORIZE/0" "$r/.VAPORIZE/65534" | tr '\n' ' ')" = "1777:0 700:0 700:65534 " ]
}

t_no_store_on_real_drives() {
  [ "$(real_stores)" = "$stores_before" ]
}

check DrivesAtOnce t_drives_at_once
check EachSendsListsRestoresVaporizes t_each_sends_lists_restores_vaporizes
check RemountKeepsLettersAndPlaces t_remount_keeps_letters_and_places
check BindMountedDriveIsOneDrive t_bind_mounted_drive_is_one_drive
check MountsInsideItemsAreNeverWalked t_mounts_inside_items
check RemovableHasNoStore t_removable_has_no_store
check UnprivilegedUserHasNoStoreButHisHome t_unprivileged_user
check NoStoreOnTheMachinesDrives t_no_store_on_real_drives
check_summary
