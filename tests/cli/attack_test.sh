#!/usr/bin/env bash
# The companion program run by root in folders that others can change, as
# an attacker would try it: things swapped for links while a question is
# open or while a batch runs, a folder that holds another drive, stores
# that are not what they claim, a sparse file larger than the free space,
# a file on another file system. Whatever is outside what was chosen stays
# byte for byte, and what was chosen is done or refused with a reason.
#   tests/cli/attack_test.sh PATH/TO/vaporizer      (as root; skips without)
# Prints GoogleTest-style result lines.
set -u
exe=$(realpath "$1")
check_prefix=Attack.
source "$(dirname "$0")/../support/check.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "[ RUN      ] Attack.All"
  echo "attack: skipped: needs root (mounts, and another user to attack with)"
  echo "[  SKIPPED ] Attack.All"
  echo "[  SKIPPED ] 1 tests."
  exit 0
fi
tmp=$(mktemp -d /tmp/vz-attack-XXXXXX)
chmod 755 "$tmp"   # the attacker must reach it, as it reaches a shared folder
trap 'umount -q "$tmp"/c/*/mnt "$tmp"/f 2>/dev/null; rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config
vz() { "$exe" "$@"; }
say() { echo "attack: $1"; return 1; }
sum() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0r sha256sum | sha256sum); }

fresh() {  # a drive C: with a folder att, and a victim tree outside every item
  umount -q "$tmp"/c/*/mnt "$tmp"/f 2>/dev/null
  rm -rf "$tmp/c" "$tmp/f" && mkdir -p "$tmp/c/att/sub" "$tmp/c/victim/sub" "$tmp/config"
  export VAPORIZER_VOLUMES="C=$tmp/c"
  for d in att victim; do
    for f in a.txt b.txt sub/c.txt doc; do echo "$d $f" >"$tmp/c/$d/$f"; done
  done
  vz list </dev/null >/dev/null
  victim=$(sum "$tmp/c/victim")
}
own() { echo "$1/.VAPORIZE/$(id -u)"; }  # this user's store on the drive at $1
intact() { [ "$(sum "$tmp/c/victim")" = "$victim" ] || say "the victim tree changed"; }

# Runs the program on a terminal; when it asks, runs SWAP, then answers y.
# Prints the program's output; returns its exit status.
asked() {  # swap-command args...
  python3 - "$exe" "$@" <<'PY'
import os, pty, subprocess, sys
exe, swap, args = sys.argv[1], sys.argv[2], sys.argv[3:]
pid, fd = pty.fork()
if pid == 0:
    os.execv(exe, [exe] + args)
out, answered = b"", 0
while True:
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    out += data
    if out.find(b"[y/N]", answered) >= 0:
        subprocess.run(["bash", "-c", swap], check=True)
        os.write(fd, b"y\n")
        answered = len(out)
sys.stdout.write(out.decode(errors="replace"))
_, status = os.waitpid(pid, 0)
sys.exit(os.waitstatus_to_exitcode(status))
PY
}

# The folder given to shred, and a file's folder given to send, become
# links to the victim while the question is open.
t_swap_during_question() {
  fresh
  local out
  out=$(asked "mv '$tmp/c/att' '$tmp/c/att.old' && ln -s '$tmp/c/victim' '$tmp/c/att'" shred "$tmp/c/att")
  intact || return 1
  echo "$out" | grep -q "replaced" || say "shred did not say why it left the item: $out" || return 1
  fresh
  out=$(asked "mv '$tmp/c/att' '$tmp/c/att.old' && ln -s '$tmp/c/victim' '$tmp/c/att'" send "$tmp/c/att/doc")
  intact || return 1
  [ -z "$(ls "$(own "$tmp/c")" | grep -v -e info.shr -e desktop.ini)" ] || say "send moved something: $out"
}

# restore --replace: the folder of the original path becomes a link to the
# victim while the replace question is open.
t_restore_replace_swap() {
  fresh
  vz send --yes "$tmp/c/att/doc" </dev/null >/dev/null || return 1
  echo "newer" >"$tmp/c/att/doc"
  local out
  out=$(asked "mv '$tmp/c/att' '$tmp/c/att.old' && ln -s '$tmp/c/victim' '$tmp/c/att'" restore --replace "$tmp/c/att/doc")
  intact || return 1
  [ "$(cat "$tmp/c/att.old/doc")" = newer ] || say "the user's file was lost: $out" || return 1
  vz list </dev/null | grep -q "att" || say "the item left the list: $out"
}

# A folder that holds another drive's root is never sent, so the next
# empty cannot reach that drive's store.
t_folder_holding_a_drive() {
  fresh
  mkdir -p "$tmp/c/outer/d/Work" && echo "on d" >"$tmp/c/outer/d/Work/x.txt"
  export VAPORIZER_VOLUMES="C=$tmp/c;D=$tmp/c/outer/d"
  vz send --yes "$tmp/c/outer/d/Work/x.txt" </dev/null >/dev/null || return 1
  local out; out=$(vz send --yes "$tmp/c/outer" </dev/null); local rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "root of drive D:" || say "the folder was sent: $out" || return 1
  [ -e "$(own "$tmp/c/outer/d")/D1.txt" ] || say "drive D:'s item left its store" || return 1
  # Emptying takes D:'s items, and leaves its store, its index and desktop.ini.
  vz empty --yes </dev/null >/dev/null
  for f in info.shr desktop.ini; do [ -f "$(own "$tmp/c/outer/d")/$f" ] || say "drive D:'s store lost $f" || return 1; done
}

# A store that is a link is used for nothing, and an index that is a pipe
# or a device never hangs nor breaks a command.
t_store_not_what_it_claims() {
  fresh
  mkdir -p "$tmp/c/target" && printf '[x]\r\nkeep=1\r\n' >"$tmp/c/target/desktop.ini" && chmod 444 "$tmp/c/target/desktop.ini"
  echo "not stored" >"$tmp/c/target/C1.txt"
  mkdir -p "$tmp/c/.VAPORIZE" && rm -rf "$(own "$tmp/c")" && ln -s "$tmp/c/target" "$(own "$tmp/c")"
  local before; before=$(sum "$tmp/c/target")
  vz send --yes "$tmp/c/att/a.txt" </dev/null >/dev/null
  local out; out=$(vz list </dev/null); local rc=$?
  [ "$(sum "$tmp/c/target")" = "$before" ] && [ "$(stat -c %a "$tmp/c/target/desktop.ini")" = 444 ] ||
    say "something was written through the link" || return 1
  [ $rc -eq 1 ] && echo "$out" | grep -q "store on C:.* is a link" && ! echo "$out" | grep -q C1.txt ||
    say "list: $out" || return 1
  for index in fifo zero; do
    rm -rf "$(own "$tmp/c")" && mkdir -p "$tmp/c/.VAPORIZE" && mkdir -m 700 "$(own "$tmp/c")"
    if [ $index = fifo ]; then mkfifo -m 600 "$(own "$tmp/c")/info.shr"; else ln -s /dev/zero "$(own "$tmp/c")/info.shr"; fi
    for cmd in list "send --yes $tmp/c/att/b.txt" "empty --yes"; do
      timeout 20 "$exe" $cmd </dev/null >/dev/null 2>&1
      rc=$?
      [ $rc -eq 1 ] || say "$cmd with an index that is a $index ended with $rc" || return 1
    done
  done
}

# A sparse file far larger than the free space is vaporized without
# filling the disk, and nothing is left behind.
t_sparse_larger_than_free_space() {
  fresh
  mkdir -p "$tmp/f" && mount -t tmpfs -o size=4m tmpfs "$tmp/f" || say "cannot mount a tmpfs" || return 1
  export VAPORIZER_VOLUMES="C=$tmp/c;F=$tmp/f"
  mkdir "$tmp/f/Work" && printf 'secret at the start' >"$tmp/f/Work/sparse.bin" && truncate -s 1G "$tmp/f/Work/sparse.bin"
  printf 'secret at the end' | dd of="$tmp/f/Work/sparse.bin" bs=1 seek=$((1024 * 1024 * 1024 - 17)) conv=notrunc 2>/dev/null
  vz send --yes "$tmp/f/Work/sparse.bin" </dev/null >/dev/null || return 1
  local out; out=$(vz empty --yes --passes 2 </dev/null); local rc=$?
  [ $rc -eq 0 ] || say "empty ended with $rc: $out" || return 1
  [ -z "$(ls "$(own "$tmp/f")" | grep -v -e info.shr -e desktop.ini)" ] || say "left in the store: $(ls -a "$(own "$tmp/f")")"
}

# A file on another file system inside the drive cannot be moved into the
# store, and keeps its times.
t_refused_send_keeps_the_stamp() {
  fresh
  mkdir -p "$tmp/c/att/mnt" && mount -t tmpfs -o size=1m tmpfs "$tmp/c/att/mnt" || say "cannot mount a tmpfs" || return 1
  echo x >"$tmp/c/att/mnt/f.txt" && touch -d "2001-02-03 04:05:06" "$tmp/c/att/mnt/f.txt"
  vz send --yes "$tmp/c/att/mnt/f.txt" </dev/null >/dev/null
  [ -e "$tmp/c/att/mnt/f.txt" ] && [ "$(date -r "$tmp/c/att/mnt/f.txt" +%Y)" = 2001 ] || say "stamped, though not sent"
}

# Another user swaps a world-writable folder inside a folder for a link to
# a folder of root's while root vaporizes it where it is (each user's store
# is that user's alone: nobody else reaches into it).
t_unprivileged_attacker() {
  fresh
  chmod 755 "$tmp/c"
  mkdir -p "$tmp/c/att/ww/inner" && chmod 777 "$tmp/c/att/ww"
  for i in 1 2 3; do echo "inner $i" >"$tmp/c/att/ww/inner/f$i.txt"; done
  chown -R 65534:65534 "$tmp/c/att/ww/inner"
  for i in 1 2 3; do echo "victim $i" >"$tmp/c/victim/f$i.txt"; done
  victim=$(sum "$tmp/c/victim")
  head -c $((65 * 1024 * 1024)) /dev/urandom >"$tmp/c/att/big.bin"   # a group of its own: a long window
  chmod 644 "$tmp/c/att/big.bin"
  chmod 755 "$tmp/c/att"
  # As soon as the big file is being overwritten, wherever the item is by
  # then, the swap.
  setpriv --reuid=65534 --regid=65534 --clear-groups bash -c '
    for _ in $(seq 1000); do
      [ "$(head -c 4 "$1/big.bin" 2>/dev/null | od -An -tx1 | tr -d " ")" = 00000000 ] && break
      sleep 0.005
    done
    mv "$1/ww/inner" "$1/ww/gone" && ln -s "$2" "$1/ww/inner"' attacker "$tmp/c/att" "$tmp/c/victim" &
  local attacker=$!
  vz shred --yes --passes 3 "$tmp/c/att" </dev/null >/dev/null
  wait $attacker || say "the attacker could not swap" || return 1
  intact
}

check SwapDuringTheQuestion t_swap_during_question
check RestoreReplaceWithItsFolderSwapped t_restore_replace_swap
check AFolderHoldingADriveIsNotSent t_folder_holding_a_drive
check AStoreThatIsNotWhatItClaimsIsNotUsed t_store_not_what_it_claims
check ASparseFileLargerThanTheFreeSpace t_sparse_larger_than_free_space
check ARefusedSendKeepsTheFilesTimes t_refused_send_keeps_the_stamp
check AnUnprivilegedAttackerSwapsDuringAVaporize t_unprivileged_attacker
check_summary
