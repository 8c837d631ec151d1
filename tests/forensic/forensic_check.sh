#!/usr/bin/env bash
# Forensic check: on raw ext4 and FAT images, files and folders holding
# unique markers are sent to the store and vaporized, the image is
# unmounted, and every byte of it is searched: no marker may remain. Each
# road is checked on a fresh image:
#   native           the companion program: send, then vaporize (VaporizeBatch)
#   wine_cli_<arch>  the Windows companion program under Wine, the same way
#   wine_dll_<arch>  Vaporizer.dll under Wine, as an outside program drives
#                    it: ExtPreparateData (ExtPreparateDataW for a name
#                    outside the ANSI code page), then ShredAllItems
# Items go through the store (the image seen as a fixed drive; under Wine
# F:) and, as from a USB stick, straight to vaporizing (the same image seen
# as a removable drive; under Wine G:). On FAT a folder goes the second way
# only: fusefat loses a folder's contents when it renames the folder into
# another one, which no Windows FAT driver does.
# No original path that the index recorded may remain: a replaced index is
# written over before its blocks are freed. What stays readable by design,
# the bare names in directory entries and in the ext4 journal, is counted
# and reported apart.
#
#   tests/forensic/forensic_check.sh [ext4|fat]...   (as root; uses $VZ_BUILD_ROOT)
# The file systems named, both by default; each run keeps its own images,
# mounts and Wine prefix, so two can run side by side.
# Needs root and loop devices for ext4, fusefat for FAT, the native-asan (or
# native) build, and the win64/win32 builds for the Wine roads; whatever is
# missing is skipped with a line that says why. Prints GoogleTest-style
# result lines.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VZ_BUILD_ROOT:-$root/build}
passed=0 failed=0 skipped=0

native=""
for b in "$build/native-asan/vaporizer" "$build/native/vaporizer"; do
  [ -x "$b" ] && { native=$b; break; }
done

vz_image_tmp() {
  local free
  free=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')
  if [ -w /dev/shm ] && [ "${free:-0}" -ge 1048576 ]; then echo /dev/shm; else echo /tmp; fi
}
# The images live in memory where there is room: the proof reads the same
# bytes, and the loop device's flushes stop waiting for the host's disk.
work=$(mktemp -d "$(vz_image_tmp)/vz-forensic-XXXXXX")
mnt=$work/mnt
mkdir -p "$mnt" "$work/config"
mounted=""
own_prefix=""
cleanup() {
  unmount_fs >/dev/null 2>&1
  [ -n "$own_prefix" ] && { WINEPREFIX=$own_prefix wineserver -k >/dev/null 2>&1; rm -rf "$own_prefix"; }
  rm -rf "$work"
}
trap cleanup EXIT

skip() {  # name, reason
  echo "[ RUN      ] Forensic.$1"
  echo "forensic: skipped: $2"
  echo "[  SKIPPED ] Forensic.$1"
  skipped=$((skipped + 1))
}

can_ext4() { [ "$(id -u)" -eq 0 ] && [ -e /dev/loop-control ] && command -v mkfs.ext4 >/dev/null; }
can_fat() { [ -e /dev/fuse ] && command -v fusefat >/dev/null && command -v mkfs.vfat >/dev/null; }

make_fs() {  # ext4 | fat
  rm -f "$work/disk.img"
  truncate -s 64M "$work/disk.img"
  if [ "$1" = ext4 ]; then
    mkfs.ext4 -q -F "$work/disk.img" && mount -o loop "$work/disk.img" "$mnt" && mounted=ext4
  else
    mkfs.vfat -F 32 "$work/disk.img" >/dev/null && fusefat -o rw+ "$work/disk.img" "$mnt" >/dev/null 2>&1 && mounted=fat
  fi
}

unmount_fs() {
  sync
  case "$mounted" in
    ext4) umount "$mnt" ;;
    fat) fusermount -u "$mnt" ;;
  esac
  local rc=$?
  mounted=""
  return $rc
}

# Items: a folder tree with files of several sizes (one smaller than a
# block, one empty), a folder of a thousand small files and two single
# files, on ext4 a third one named in Cyrillic and Japanese with an emoji
# (fusefat takes no name outside ASCII). Every file holds its own marker.
markers=()
many=""
names=()
wide_name() { echo "отчёт-日本-😀-$1.txt"; }
populate() {  # tag fs
  local tag=$1 rand wide=()
  [ "$2" = fat ] || wide=("$(wide_name "$tag"):9000")
  rand=$(od -An -tx4 -N4 /dev/urandom | tr -d ' \n')
  markers=() names=()
  mkdir -p "$mnt/Work/Folder-$tag/sub-$tag"
  local f m size i=0
  for entry in "Folder-$tag/big-$tag.bin:300000" "Folder-$tag/small-$tag.txt:100" \
              "Folder-$tag/sub-$tag/deep-$tag.txt:5000" "report-$tag.doc:50000" "stick-$tag.txt:7000" "${wide[@]}"; do
    f=${entry%%:*} size=${entry##*:} i=$((i + 1))
    # Short enough to stand whole in the smallest file.
    m="VZM-$tag-$i-$rand"
    yes "$m" | head -c "$size" >"$mnt/Work/$f"
    markers+=("$m")
    names+=("$(basename "$f")")
  done
  : >"$mnt/Work/Folder-$tag/empty-$tag.txt"
  names+=("empty-$tag.txt")
  # A thousand small files in ten folders, each with a marker of its own.
  many="VZS-$tag-$rand-"
  python3 - "$mnt/Work/Many-$tag" "$many" <<'PY'
import os, sys
root, prefix = sys.argv[1], sys.argv[2]
for i in range(1000):
    d = os.path.join(root, "d%d" % (i % 10))
    os.makedirs(d, exist_ok=True)
    line = ("%s%d-end " % (prefix, i)).encode()
    with open(os.path.join(d, "m%d.txt" % i), "wb") as f:
        f.write((line * (600 // len(line) + 1))[:600])
PY
  sync
}

# Copies of a string anywhere on the raw image.
count_on_image() { grep -a -o -F -- "$1" "$work/disk.img" | wc -l; }
# How many of the thousand small files' markers are anywhere on the image.
many_on_image() { grep -a -o -E -- "$many[0-9]+-end" "$work/disk.img" | sort -u | wc -l; }

# Copies of the names on the image, whole in single-byte text (ext4
# directory blocks and journal) or as the first 13 characters in 16-bit text
# (the first piece of a FAT long name), counted apart: in the ext4 journal
# (its blocks as debugfs lists them) and elsewhere (directory entries).
# Prints "ENTRIES JOURNAL NAMES...".
count_names() {  # fs names...
  local fs=$1 journal=""
  shift
  [ "$fs" = ext4 ] && journal=$(debugfs -R "stat <8>" "$work/disk.img" 2>/dev/null | tr '\n' ' ')
  local bs; bs=$(dumpe2fs -h "$work/disk.img" 2>/dev/null | sed -n 's/^Block size: *//p')
  python3 - "$work/disk.img" "${bs:-4096}" "$journal" "$@" <<'PY'
import re, sys
data, bs, journal = open(sys.argv[1], "rb").read(), int(sys.argv[2]), sys.argv[3]
ranges = []
for m in re.finditer(r"\((\d+)(?:-(\d+))?\):(\d+)(?:-(\d+))?", journal):
    start = int(m.group(3)); end = int(m.group(4) or start)
    ranges.append((start * bs, (end + 1) * bs))
entries = inj = 0
found = []
for name in sys.argv[4:]:
    seen = 0
    for needle in (name.encode(), name[:13].encode("utf-16-le")):
        at = data.find(needle)
        while at >= 0:
            seen += 1
            if any(a <= at < b for a, b in ranges): inj += 1
            else: entries += 1
            at = data.find(needle, at + 1)
    if seen: found.append(name)
print(entries, inj, " ".join(found))
PY
}

# The store has nothing left but its index and desktop.ini.
store_empty() {
  local store=$1 e
  for e in "$store"/* "$store"/.[!.]*; do
    [ -e "$e" ] || continue
    case "$(basename "$e")" in info.shr | desktop.ini) ;; *) return 1 ;; esac
  done
  return 0
}

# Roads: send one item into the store, send one item from a drive without
# a store (vaporized at once), vaporize what is stored.
native_env() { VAPORIZER_VOLUMES="C=$mnt$1" XDG_CONFIG_HOME="$work/config" "$native" "${@:2}" </dev/null; }
native_send() { native_env "" send --yes "$mnt/Work/$1"; }
native_send_direct() { native_env ":removable" send --yes "$mnt/Work/$1"; }
native_vaporize() {
  local list names
  list=$(native_env "" list --json) || return 1
  names=$(python3 -c 'import json,sys; print("\n".join(i["stored"].replace("\\","/").split("/")[-1] for i in json.loads(sys.argv[1])))' "$list")
  [ -n "$names" ] || return 1
  # shellcheck disable=SC2086
  native_env "" vaporize --yes --passes 1 --stored $names
}
native_store() { echo "$mnt/.VAPORIZE/$(id -u)"; }
native_original() { echo "C:\\Work\\$1"; }

wine_run() { (cd "$WINEPREFIX/drive_c" && timeout 180 wine "$@" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}"); }
wine_cli_send() { wine_run "C:\\vz\\$arch\\vaporizer.exe" send --yes "F:\\Work\\$1"; }
wine_cli_send_direct() { wine_run "C:\\vz\\$arch\\vaporizer.exe" send --yes "G:\\Work\\$1"; }
wine_cli_vaporize() {
  local list names
  list=$(wine_run "C:\\vz\\$arch\\vaporizer.exe" list --json) || return 1
  names=$(python3 -c 'import json,sys; print("\n".join(i["stored"].split("\\")[-1] for i in json.loads(sys.argv[1])))' "$list")
  [ -n "$names" ] || return 1
  # shellcheck disable=SC2086
  wine_run "C:\\vz\\$arch\\vaporizer.exe" vaporize --yes --passes 1 --stored $names
}
wine_dll_send() {
  local how=send
  case "$1" in отчёт-*) how=sendw ;; esac  # outside the ANSI code page
  wine_run "C:\\vz\\$arch\\dll_driver.exe" $how "F:\\Work\\$1"
}
wine_dll_send_direct() { wine_run "C:\\vz\\$arch\\dll_driver.exe" send "G:\\Work\\$1"; }
wine_dll_vaporize() { wine_run "C:\\vz\\$arch\\dll_driver.exe" shredall 1; }
# The store of the prefix's account, named by its SID.
wine_cli_store() { echo "$mnt"/VAPORIZE/S-*; }
wine_dll_store() { wine_cli_store; }
wine_cli_original() { echo "F:\\Work\\$1"; }
wine_dll_original() { echo "F:\\Work\\$1"; }
# What 'vaporizer volumes' says about overwriting in place on the image's
# drive (the DLL road asks the companion program of its architecture).
native_volumes() { native_env "" volumes --json; }
wine_cli_volumes() { wine_run "C:\\vz\\$arch\\vaporizer.exe" volumes --json; }
wine_dll_volumes() { wine_cli_volumes; }
verdict_of() {  # drive, JSON
  python3 -c 'import json,sys
d = [v for v in json.loads(sys.argv[2]) if v["drive"] == sys.argv[1]][0]["verdict"]
print(d["overwriteInPlace"] + ("" if d["overwriteInPlace"] == "reaches the old data" else " (" + d["why"] + ")"))' "$@" 2>/dev/null ||
    echo "no verdict"
}

# One road on one file system: populate, sync, check that the scan sees the
# markers, send and vaporize each item, unmount, scan.
check_road() {  # fs road (the prefix of its functions) [label]
  local fs=$1 road=$2 label=${3:-$2}
  local name="${fs}_${label}" tag="${fs}${label//_/}" ok=1 m n log="$work/$fs-$label.log"
  local stored=("report-$tag.doc") direct=("stick-$tag.txt")
  if [ "$fs" = fat ]; then direct+=("Folder-$tag" "Many-$tag"); else stored=("Folder-$tag" "Many-$tag" "${stored[@]}" "$(wide_name "$tag")"); fi
  echo "[ RUN      ] Forensic.$name"
  local started=$SECONDS
  if ! make_fs "$fs"; then
    echo "forensic: the $fs image could not be made or mounted"
    echo "[  FAILED  ] Forensic.$name"; failed=$((failed + 1)); return
  fi
  populate "$tag" "$fs"
  # Control: a file deleted plainly leaves its marker for the scan to find.
  local control="VZC-$tag-$(od -An -tx4 -N4 /dev/urandom | tr -d ' \n')"
  yes "$control" | head -c 20000 >"$mnt/Work/control-$tag.txt"
  sync
  rm "$mnt/Work/control-$tag.txt"
  sync
  # Checked now: the volume trim after a batch may hand these freed blocks
  # back to the device too, which is no fault.
  if [ "$(count_on_image "$control")" -eq 0 ]; then
    echo "forensic: the scan finds nothing of a plainly deleted file on the $fs image: it would prove nothing"
    ok=0
  fi
  for m in "${markers[@]}"; do
    if [ "$(count_on_image "$m")" -eq 0 ]; then
      echo "forensic: before vaporizing, the scan cannot see $m on the image: it would prove nothing"
      ok=0
    fi
  done
  if [ "$(many_on_image)" -ne 1000 ]; then
    echo "forensic: before vaporizing, the scan sees $(many_on_image) of the 1000 small files' markers: it would prove nothing"
    ok=0
  fi
  local item store
  store=$("${road}_store")
  # One item per round: fusefat cannot append to a file that is not empty,
  # and after each round the pruned index is empty again.
  for item in "${stored[@]}"; do
    if ! "${road}_send" "$item" >>"$log" 2>&1; then
      echo "forensic: sending $item failed:"; tail -n 5 "$log"; ok=0; continue
    fi
    if [ -e "$mnt/Work/$item" ]; then echo "forensic: $item is still in its place after sending"; ok=0; fi
    # Stored items usually wait a while: the index reaches the disk.
    sync
    if ! "${road}_vaporize" >>"$log" 2>&1; then
      echo "forensic: vaporizing $item failed:"; tail -n 5 "$log"; ok=0
    fi
    if ! store_empty "$store"; then
      echo "forensic: the store still holds items after vaporizing $item:"; ls -la "$store"; ok=0
    fi
  done
  for item in "${direct[@]}"; do
    if ! "${road}_send_direct" "$item" >>"$log" 2>&1 || [ -e "$mnt/Work/$item" ]; then
      echo "forensic: $item, sent from a drive without a store, was not vaporized:"; tail -n 5 "$log"; ok=0
    fi
  done
  local drive=F: medium
  [ "$road" = native ] && drive=C:
  medium=$(verdict_of "$drive" "$("${road}_volumes" 2>/dev/null)")
  if ! unmount_fs; then
    echo "forensic: the image could not be unmounted"
    echo "[  FAILED  ] Forensic.$name"; failed=$((failed + 1)); return
  fi
  local left=0
  for m in "${markers[@]}"; do
    n=$(count_on_image "$m")
    if [ "$n" -ne 0 ]; then
      echo "forensic: $n copies of $m remain on the raw $fs image"
      ok=0 left=$((left + 1))
    fi
  done
  n=$(many_on_image)
  if [ "$n" -ne 0 ]; then
    echo "forensic: $n of the 1000 small files' markers remain on the raw $fs image"
    ok=0 left=$((left + n))
  fi
  # Readable by design: the names, in directory entries and on ext4 in the
  # journal, counted apart. The original paths the index recorded must be
  # gone: a replaced index is written over before its blocks are freed.
  local entries journal visible
  read -r entries journal visible <<<"$(count_names "$fs" "${names[@]}")"
  local paths=0
  for item in "${stored[@]}"; do
    paths=$((paths + $(count_on_image "$("${road}_original" "$item")")))
  done
  if [ "$paths" -ne 0 ]; then
    echo "forensic: $paths copies of the original paths of vaporized stored items remain on the raw $fs image"
    # A FUSE driver may free a replaced index's blocks when the new one
    # takes its name, and nothing can reach them after; the program warns
    # that on such a file system the overwrite cannot be relied on.
    if [[ $medium == *"file system in user space"* ]]; then
      echo "forensic: $name: accepted, as the program warned: $medium"
    else
      ok=0
    fi
  fi
  echo "forensic: $name: $left of $((${#markers[@]} + 1000)) markers remain; $paths copies of original paths of" \
       "stored items; visible by design: names, $entries copies in directory entries and $journal in the journal" \
       "[$visible]; overwrite in place per 'vaporizer volumes': $medium"
  if [ "$ok" -eq 1 ]; then
    echo "[       OK ] Forensic.$name ($((SECONDS - started)) s)"; passed=$((passed + 1))
  else
    echo "[  FAILED  ] Forensic.$name ($((SECONDS - started)) s)"; failed=$((failed + 1))
  fi
}

# A path names a stored item in another letter case only where the volume
# ignores case: on FAT report.txt is the Report.txt that was sent, on ext4
# it is another name that no item came from.
check_names() {  # fs
  local fs=$1 rc left want=1
  [ "$fs" = fat ] && want=0
  echo "[ RUN      ] Forensic.${fs}_names"
  make_fs "$fs" && mkdir -p "$mnt/Work" && echo sent >"$mnt/Work/Report.txt" &&
    native_env "" send --yes "$mnt/Work/Report.txt" >/dev/null 2>&1
  native_env "" vaporize --yes "$mnt/Work/report.txt" >/dev/null 2>&1; rc=$?
  left=$(native_env "" list --json | grep -c '"stored"')
  unmount_fs
  if [ "$rc" -eq "$want" ] && [ "$left" -eq "$want" ]; then echo "[       OK ] Forensic.${fs}_names"; passed=$((passed + 1)); return; fi
  echo "forensic: on $fs, vaporizing report.txt for a stored Report.txt: exit $rc (not $want), $left items left"
  echo "[  FAILED  ] Forensic.${fs}_names"; failed=$((failed + 1))
}

roads_native() {  # fs
  if [ -z "$native" ]; then skip "$1_native" "no native build of vaporizer in $build"; return; fi
  check_road "$1" native
  check_names "$1"
}

wine_ready=0
prepare_wine() {
  command -v wine >/dev/null || return 1
  # shellcheck source=../../scripts/lib/wine-prefix.sh
  source "$root/scripts/lib/wine-prefix.sh"
  vz_make_prefix
  own_prefix=$WINEPREFIX
  # F: is a fixed drive on the mount point, G: the same mount as a
  # removable one; drive types are read when the server starts.
  wine reg add 'HKLM\Software\Wine\Drives' /v 'f:' /t REG_SZ /d hd /f /reg:64 >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Drives' /v 'g:' /t REG_SZ /d floppy /f /reg:64 >/dev/null 2>&1
  wineserver -k; wineserver -w
  ln -sfn "$mnt" "$WINEPREFIX/dosdevices/f:"
  ln -sfn "$mnt" "$WINEPREFIX/dosdevices/g:"
  local a b
  for a in x86_64 i686; do
    b="$build/win${a/x86_64/64}"; b=${b/i686/32}
    [ -f "$b/Vaporizer.dll" ] && [ -f "$b/vaporizer.exe" ] && [ -f "$b/bench/dll_driver.exe" ] || continue
    mkdir -p "$WINEPREFIX/drive_c/vz/$a"
    cp "$b/Vaporizer.dll" "$b/vaporizer.exe" "$b/bench/dll_driver.exe" "$WINEPREFIX/drive_c/vz/$a/"
  done
  wine_ready=1
}

# The Wine roads' function names carry no architecture; $arch picks it.
check_road_arch() {  # fs arch
  local fs=$1
  arch=$2
  check_road "$fs" wine_cli "wine_cli_$arch"
  check_road "$fs" wine_dll "wine_dll_$arch"
}

roads_wine() {  # fs
  local fs=$1
  for arch in x86_64 i686; do
    if [ "$wine_ready" -ne 1 ] || [ ! -f "$WINEPREFIX/drive_c/vz/$arch/dll_driver.exe" ]; then
      skip "${fs}_wine_cli_$arch" "no Wine or no $arch Windows build in $build"
      skip "${fs}_wine_dll_$arch" "no Wine or no $arch Windows build in $build"
      continue
    fi
    check_road_arch "$fs" "$arch"
  done
}

prepare_wine >/dev/null 2>&1 || true
filesystems=("$@")
((${#filesystems[@]})) || filesystems=(ext4 fat)
for fs in "${filesystems[@]}"; do
  case "$fs" in ext4|fat) ;; *) echo "forensic: unknown file system '$fs' (ext4, fat)" >&2; exit 2 ;; esac
  if [ "$fs" = ext4 ] && ! can_ext4; then
    for r in native wine_cli_x86_64 wine_dll_x86_64 wine_cli_i686 wine_dll_i686; do
      skip "ext4_$r" "needs root and loop devices (and mkfs.ext4)"
    done
    continue
  fi
  if [ "$fs" = fat ] && ! can_fat; then
    for r in native wine_cli_x86_64 wine_dll_x86_64 wine_cli_i686 wine_dll_i686; do
      skip "fat_$r" "needs /dev/fuse, fusefat and mkfs.vfat"
    done
    continue
  fi
  roads_native "$fs"
  roads_wine "$fs"
done

echo "[  PASSED  ] $passed tests."
[ "$skipped" -eq 0 ] || echo "[  SKIPPED ] $skipped tests."
[ "$failed" -eq 0 ] || echo "[  FAILED  ] $failed tests"
[ "$failed" -eq 0 ]
