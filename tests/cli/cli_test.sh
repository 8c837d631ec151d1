#!/usr/bin/env bash
# End-to-end tests of the companion program, driven as a user drives it.
#   tests/cli/cli_test.sh native PATH/TO/vaporizer
#   tests/cli/cli_test.sh wine 'C:\vz\x86_64\vaporizer.exe'   (inside a test prefix)
# Prints GoogleTest-style result lines.
set -u
mode=$1 exe=$2
check_prefix=Cli.
source "$(dirname "$0")/../support/check.sh"
exec 9>&2

if [ "$mode" = native ]; then
  tmp=$(mktemp -d /tmp/vz-cli-XXXXXX)
  trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/c" "$tmp/e" "$tmp/config" "$tmp/outside"
  export VAPORIZER_VOLUMES="C=$tmp/c;E=$tmp/e:removable" XDG_CONFIG_HOME="$tmp/config"
  exe=$(realpath "$exe")   # tests run it from other folders too
  vz() { "$exe" "$@"; }
  host_c=$tmp/c host_e=$tmp/e
  sys() { echo "$tmp/c/$1"; }     # a file on the fixed drive, as the program is given it
  sys_e() { echo "$tmp/e/$1"; }
  outside=$tmp/outside/x.txt
  # This account's store on the fixed drive.
  store_rel=.VAPORIZE/$(id -u)
  store=$tmp/c/$store_rel store_sys=$store
  L=C      # the letter of the fixed test drive
else
  host_c=$WINEPREFIX/drive-d host_e=$WINEPREFIX/drive-e
  # Run from inside the prefix: the host's folders have no drive letter there.
  # A run that takes long is named on the log whatever the test does with
  # its output.
  vz() {
    local started=$SECONDS rc args="$*"
    (cd "$WINEPREFIX/drive_c" && wine "$exe" "$@" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}"); rc=$?
    ((SECONDS - started < ${VZ_SLOW_RUN:-20})) || echo "cli: slow: $((SECONDS - started)) s, exit $rc: ${args:0:160}" >&9
    return $rc
  }
  sys() { echo "D:\\${1//\//\\}"; }
  sys_e() { echo "E:\\${1//\//\\}"; }
  outside='\\server\share\x.txt'
  account=$(vz volumes </dev/null | sed -n 's/.*VAPORIZE\\\(S-[0-9-]*\).*/\1/p' | head -n1)
  store_rel=VAPORIZE/$account
  store=$host_c/$store_rel store_sys="D:\\VAPORIZE\\$account"
  L=D      # the letter of the fixed test drive
  wine reg delete 'HKCU\SOFTWARE\Orvel' /f >/dev/null 2>&1
fi

reset() {
  rm -rf "$host_c"/* "$host_c"/.VAPORIZE "$host_e"/*
  [ "$mode" = wine ] && touch "$host_c/vz-test-drive" "$host_e/vz-test-drive"
  rm -rf "$store"
}

t_help() {
  vz --help | grep -q "send" && vz --version | grep -q "vaporizer" && vz send --help | grep -q "PATH"
}

t_refuses_without_yes() {
  reset; mkdir -p "$host_c/Work"; echo data >"$host_c/Work/a.txt"
  local out; out=$(vz send "$(sys Work/a.txt)" </dev/null 2>&1); local rc=$?
  [ $rc -eq 2 ] && [ -f "$host_c/Work/a.txt" ] && echo "$out" | grep -q -- "--yes"
}

t_send_list_restore() {
  reset; mkdir -p "$host_c/Work"; echo "hello report" >"$host_c/Work/report.doc"
  vz send --yes "$(sys Work/report.doc)" </dev/null | grep -q "sent:" || return 1
  [ ! -e "$host_c/Work/report.doc" ] || return 1
  vz list </dev/null | grep -q "report.doc" || return 1
  local json; json=$(vz list --json </dev/null)
  python3 - "$json" <<'PY' || return 1
import json, sys
items = json.loads(sys.argv[1])
assert len(items) == 1, items
i = items[0]
assert set(i) == {"name", "original", "stored", "sent", "type", "size"}, i
assert i["name"] == "report.doc" and i["size"] == 13, i
assert len(i["sent"]) == 19 and i["sent"][10] == "T", i
PY
  rm -rf "$host_c/Work"   # the original folder is gone meanwhile
  vz restore --yes --stored ${L}1.doc </dev/null | grep -q "restored" || return 1
  [ "$(cat "$host_c/Work/report.doc")" = "hello report" ] || return 1
  [ "$(vz list --json </dev/null | tr -d ' \n')" = "[]" ]
}

t_vaporize_and_empty() {
  reset; mkdir -p "$host_c/Work/sub"; echo one >"$host_c/Work/one.txt"; echo two >"$host_c/Work/sub/two.txt"
  vz send --yes "$(sys Work/one.txt)" "$(sys Work/sub)" </dev/null >/dev/null || return 1
  local rc
  vz vaporize --stored ${L}1.txt </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 2 ] || return 1
  # The output names the path the item came from.
  vz vaporize --yes --passes 2 --fill 0xFF --stored ${L}1.txt </dev/null | grep -q "vaporized: .*one.txt (stored as" || return 1
  [ ! -e "$store/${L}1.txt" ] || return 1
  vz list </dev/null | grep -q "sub" || return 1
  vz empty --yes </dev/null >/dev/null || return 1
  [ ! -e "$store/${L}1" ] && [ "$(vz list --json </dev/null | tr -d ' \n')" = "[]" ]
}

# Nothing in a store is hidden, and nothing is left there for ever: what no
# path can reach (a name with a backslash on Linux, a folder 25 levels and
# over 5,000 bytes deep) is reached all the same, the store's own temporary
# files that killed runs left are never taken for items and go with the next
# run, and what a vaporize could not finish is listed as a leftover.
t_nothing_hidden() {
  reset; local i levels=25
  # Wine reaches each file through a host path, which stops at 4,096 bytes.
  [ "$mode" = native ] || levels=15
  mkdir -p "$host_c/Work/tree"
  # Folder by folder: past 4,096 bytes no path reaches it from here either.
  (cd "$host_c/Work/tree" && for i in $(seq "$levels"); do mkdir "$(printf 'level%02d%0190d' "$i" 0)" && cd "$_" || exit 1; done &&
    echo deep >bottom.txt) || return 1
  [ "$mode" = native ] && echo odd >"$host_c/Work/tree/a\\b.txt"
  vz send --yes "$(sys Work/tree)" </dev/null >/dev/null || return 1
  echo "old index" >"$store/info.shr.Ab12Cd"; echo "old ini" >"$store/desktop.ini.x1y2z3"
  vz list </dev/null | grep -q "^leftover .*info.shr.Ab12Cd: a temporary file" || return 1
  local out; out=$(vz empty --yes </dev/null) || return 1
  ! echo "$out" | grep -q -e "info.shr.Ab12Cd" -e desktop.ini.x || return 1
  [ "$(ls -A "$store" | grep -v -e '^info.shr$' -e '^desktop.ini$')" = "" ] || return 1
  [ "$mode" = native ] || return 0
  # A file held by another program stops its folder: shown, then finished.
  mkdir -p "$host_c/Work/held" && echo held >"$host_c/Work/held/h.txt" && echo free >"$host_c/Work/held/f.txt"
  vz send --yes "$(sys Work/held)" </dev/null >/dev/null || return 1
  flock "$store/${L}1/h.txt" sleep 3 & local holder=$!
  sleep 0.5
  vz vaporize --yes "$(sys Work/held)" </dev/null >/dev/null; [ $? -eq 1 ] || return 1
  wait $holder
  out=$(vz list </dev/null); [ $? -eq 1 ] && echo "$out" | grep -q "^leftover .*~${L}1: partly vaporized" || return 1
  vz empty --yes </dev/null >/dev/null && [ "$(vz list --json </dev/null | tr -d ' \n')" = "[]" ]
}

t_removable_is_vaporized_at_once() {
  reset; echo gone >"$host_e/b.txt"
  vz send --yes "$(sys_e b.txt)" </dev/null | grep -q "vaporized" && [ ! -e "$host_e/b.txt" ]
}

t_refusals() {
  reset
  local rc
  vz send --yes "$outside" </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 2 ] || return 1
  vz restore --yes --stored NoSuch.doc </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 1 ] || return 1
  vz settings --passes 11 </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 2 ] || return 1
  vz frobnicate </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 2 ] || return 1
  if [ "$mode" = native ]; then
    mkdir -p "$host_c/odd"; echo x >"$host_c/odd/back\\slash.txt"
    vz send --yes "$host_c/odd/back\\slash.txt" </dev/null >/dev/null 2>&1; rc=$?
    [ $rc -eq 2 ] && [ -e "$host_c/odd/back\\slash.txt" ] || return 1
  fi
}

t_shred_in_place() {
  reset; mkdir -p "$host_c/tree/a"; echo s >"$host_c/tree/a/s.txt"; echo k >"$host_c/keep.txt"
  vz shred --yes "$(sys tree)" </dev/null >/dev/null || return 1
  [ ! -e "$host_c/tree" ] || return 1
  vz shred --yes --keep "$(sys keep.txt)" </dev/null >/dev/null || return 1
  [ -e "$host_c/keep.txt" ] && [ "$(od -An -c "$host_c/keep.txt" | tr -d ' \n')" = '\0\0' ]
}

# Writes ShredCount into the settings store behind the program's back.
put_shred_count() {
  if [ "$mode" = wine ]; then
    wine reg add 'HKCU\SOFTWARE\Orvel\Gearloft\Vaporizer' /v ShredCount /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  else
    python3 - "$XDG_CONFIG_HOME/vaporizer/registry.json" "$1" <<'PY'
import json, sys
j = json.load(open(sys.argv[1]))
j["SOFTWARE\\Orvel\\Gearloft\\Vaporizer"]["ShredCount"] = {"data": int(sys.argv[2]), "type": "REG_DWORD"}
json.dump(j, open(sys.argv[1], "w"))
PY
  fi
}

t_settings() {
  reset
  vz settings --passes 5 --progress off </dev/null | grep -q "passes *5" || return 1
  vz settings </dev/null | grep -q "progress *off" || return 1
  # A count the settings store holds out of range is reported and replaced
  # by one pass: never a delete without an overwrite.
  local bad
  for bad in 0 65536; do
    put_shred_count $bad
    vz settings </dev/null | grep -q "^warning: ShredCount in the settings is $bad, outside 1 to 65535; 1 is used instead" || return 1
    printf abc >"$host_c/s.txt"
    vz shred --yes --keep --fill 0x41 "$(sys s.txt)" </dev/null | grep -q "^warning: ShredCount" || return 1
    [ "$(cat "$host_c/s.txt")" = AAA ] || { echo "ShredCount $bad: $(cat "$host_c/s.txt")" >&2; return 1; }
  done
  vz settings --passes 1 </dev/null >/dev/null
}

# A path names a stored item as it is written; in another letter case only
# on a volume that ignores case (Windows): on a POSIX file system a live
# report.txt is never taken for a stored Report.txt.
t_names_match_exactly_first() {
  reset; echo stored >"$host_c/Report.txt"
  vz send --yes "$(sys Report.txt)" </dev/null >/dev/null || return 1
  echo live >"$host_c/report.txt"
  vz vaporize --yes "$(sys report.txt)" </dev/null >/dev/null 2>&1; local rc=$?
  [ "$(cat "$host_c/report.txt")" = live ] || return 1
  if [ "$mode" = wine ]; then [ $rc -eq 0 ] && [ ! -e "$store/${L}1.txt" ]; else [ $rc -eq 1 ] && [ -e "$store/${L}1.txt" ]; fi
}

# A stored name that items on two drives answer to, written alike or (where
# the volumes ignore case) differing only in case, destroys neither; the
# one written exactly so is taken.
t_stored_names_on_two_drives() (
  reset
  local host2 path2 L2 l rc out
  if [ "$mode" = native ]; then
    host2=$tmp/d L2=D path2=$tmp/d/two.txt
    mkdir -p "$host2"; export VAPORIZER_VOLUMES="$VAPORIZER_VOLUMES;D=$host2"
  else
    host2=$WINEPREFIX/drive_c L2=C path2='C:\two.txt'
  fi
  local store2=$host2/$store_rel saved
  saved=$(mktemp); mkdir -p "$store2"; chmod 700 "$store2"; touch "$store2/info.shr"; cp "$store2/info.shr" "$saved"
  trap 'cp "$saved" "$store2/info.shr"; rm -f "$saved" "$store2"/[A-Za-z]1.txt "$host2/two.txt"' EXIT
  l=$(echo $L | tr A-Z a-z)
  # The second drive's item takes the first drive's stored name: in another case, then alike.
  rename2() { mv "$store2/$1" "$store2/$2" && sed -i "s/\\\\$1/\\\\$2/" "$store2/info.shr"; }
  echo one >"$host_c/one.txt"; echo two >"$host2/two.txt"
  vz send --yes "$(sys one.txt)" "$path2" </dev/null >/dev/null && rename2 ${L2}1.txt ${l}1.txt || return 1
  vz vaporize --yes --stored ${L}1.TXT </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 1 ] && [ -e "$store/${L}1.txt" ] && [ -e "$store2/${l}1.txt" ] || return 1
  vz vaporize --yes --stored ${l}1.txt </dev/null >/dev/null || return 1
  [ -e "$store/${L}1.txt" ] && [ ! -e "$store2/${l}1.txt" ] || return 1
  echo two >"$host2/two.txt"
  vz send --yes "$path2" </dev/null >/dev/null && rename2 ${L2}1.txt ${L}1.txt || return 1
  out=$(vz vaporize --yes --stored ${L}1.txt </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && [ -e "$store/${L}1.txt" ] && [ -e "$store2/${L}1.txt" ] && echo "$out" | grep -q "2 stored items have this name"
)

t_properties() {
  reset; mkdir -p "$host_c/Work"; head -c 3500 /dev/zero >"$host_c/Work/big.bin"
  vz send --yes "$(sys Work/big.bin)" </dev/null >/dev/null || return 1
  vz properties --stored ${L}1.bin </dev/null | grep -q "3 KB (3500 bytes)" || return 1
  vz properties --json "$(sys Work/big.bin)" </dev/null | python3 -c 'import json,sys; j=json.load(sys.stdin); assert j["size"]=="3 KB (3500 bytes)", j'
}

# Each line: the exit status wanted, then the arguments. A usage error
# touches nothing; the same mistake gives the same status in every command.
t_exit_status() {
  reset; mkdir -p "$host_c/Work"; echo keep >"$host_c/Work/k.txt"
  local want line rc
  while IFS='|' read -r want line; do
    eval "set -- $line"
    vz "$@" </dev/null >/dev/null 2>&1; rc=$?
    [ "$rc" -eq "$want" ] || { echo "exit $rc, not $want: $line" >&2; return 1; }
  done <<LINES
2|shred --yes --fill abc "$(sys Work/k.txt)"
2|shred --yes --fill 99999999999 "$(sys Work/k.txt)"
2|shred --yes --fill 256 "$(sys Work/k.txt)"
2|shred --yes --fill -1 "$(sys Work/k.txt)"
2|shred --yes --fill "" "$(sys Work/k.txt)"
2|vaporize --yes --passes 0 --stored ${L}1.txt
2|empty --yes --passes 65536
2|empty --yes --passes 1x
2|settings --passes 11
2|settings --passes 0
2|frobnicate
2|restore --stored a/b.txt
1|send --yes "$(sys Work/none.txt)"
1|shred --yes "$(sys Work/none.txt)"
1|restore --yes "$(sys Work/none.txt)"
1|vaporize --yes "$(sys Work/none.txt)"
1|properties "$(sys Work/none.txt)"
1|restore --yes --stored ${L}9.txt
1|vaporize --yes --stored ${L}9.txt
1|properties --stored ${L}9.txt
1|shred --yes "$store_sys"
2|list --older-than 30x
2|list --older-than 30
2|empty --yes --keep-under 5Q
2|empty --by-settings --older-than 1d
2|settings --empty-after 3651
2|retention frobnicate
LINES
  [ "$(cat "$host_c/Work/k.txt")" = keep ]
}

t_fill_is_decimal_or_hex() {
  reset; printf 'abc' >"$host_c/ten.bin"; printf 'abc' >"$host_c/hex.bin"
  vz shred --yes --keep --fill 010 "$(sys ten.bin)" </dev/null >/dev/null || return 1
  vz shred --yes --keep --fill 0x0A "$(sys hex.bin)" </dev/null >/dev/null || return 1
  [ "$(od -An -tx1 "$host_c/ten.bin" | tr -d ' \n')" = 0a0a0a ] && [ "$(od -An -tx1 "$host_c/hex.bin" | tr -d ' \n')" = 0a0a0a ]
}

t_restore_never_replaces_unasked() {
  reset; mkdir -p "$host_c/Work"; echo first >"$host_c/Work/r.txt"
  vz send --yes "$(sys Work/r.txt)" </dev/null >/dev/null || return 1
  echo second >"$host_c/Work/r.txt"
  vz send --yes "$(sys Work/r.txt)" </dev/null >/dev/null || return 1
  echo third >"$host_c/Work/r.txt"
  local out rc
  out=$(vz restore --yes --stored ${L}1.txt ${L}2.txt </dev/null); rc=$?
  [ $rc -eq 1 ] && [ "$(cat "$host_c/Work/r.txt")" = third ] && echo "$out" | grep -q -- "--replace" || return 1
  rm "$host_c/Work/r.txt"
  # Within one restore, the second item for the same place finds the first there.
  vz restore --yes --stored ${L}1.txt ${L}2.txt </dev/null >/dev/null; rc=$?
  [ $rc -eq 1 ] && [ "$(cat "$host_c/Work/r.txt")" = first ] && [ -e "$store/${L}2.txt" ] || return 1
  vz restore --yes --replace --stored ${L}2.txt </dev/null >/dev/null || return 1
  [ "$(cat "$host_c/Work/r.txt")" = second ]
}

t_settings_show_what_is_used() {
  reset
  if [ "$mode" = wine ]; then wine reg delete 'HKCU\SOFTWARE\Orvel' /f >/dev/null 2>&1; else rm -rf "$XDG_CONFIG_HOME/vaporizer"; fi
  local out; out=$(vz settings </dev/null)
  echo "$out" | grep -q "passes *1 *(.*default, not written yet" || return 1
  echo "$out" | grep -q "progress *on *(.*default, not written yet" || return 1
  vz settings --progress off </dev/null | grep -q "passes *1 *(overwrite passes per file)$" || return 1
  vz settings </dev/null | grep -q "progress *off *(progress display while vaporizing)$"
}

t_arguments_are_paths() {
  reset; mkdir -p "$host_c/Work"; echo a >"$host_c/Work/a.txt"; echo b >"$host_c/Work/b.txt"
  vz send --yes "$(sys Work/a.txt)" "$(sys Work/b.txt)" </dev/null >/dev/null || return 1
  # A real file that carries a stored item's name is a path, never that item.
  echo mine >"$host_c/${L}1.txt"
  local name=${L}1.txt
  [ "$mode" = wine ] && name=$(sys ${L}1.txt)
  (cd "$host_c" && vz vaporize --yes "$name" </dev/null >/dev/null 2>&1); [ $? -eq 1 ] || return 1
  [ -e "$store/${L}1.txt" ] && [ "$(cat "$host_c/${L}1.txt")" = mine ] || return 1
  vz restore --yes "$(sys Work/a.txt)" </dev/null | grep -q restored || return 1
  vz restore --yes --stored ${L}2.txt </dev/null | grep -q restored || return 1
  [ "$(cat "$host_c/Work/a.txt")$(cat "$host_c/Work/b.txt")" = ab ]
}

t_hand_edited_index() {
  reset; mkdir -p "$host_c/docs" "$host_c/Work"; echo precious >"$host_c/docs/p.txt"; echo w >"$host_c/Work/w.txt"
  vz send --yes "$(sys Work/w.txt)" </dev/null >/dev/null || return 1
  printf '%s:\\a.txt\r\n%s:\\docs\r\n%s:\\b.txt\r\n%s:\\VAPORIZE\\..\\docs\r\n' $L $L $L $L >>"$store/info.shr"
  local out rc
  out=$(vz list </dev/null); rc=$?
  [ $rc -eq 1 ] && [ "$(echo "$out" | grep -c "damaged record")" -eq 2 ] && echo "$out" | grep -q "w.txt" || return 1
  vz list --json </dev/null | python3 -c '
import json, sys
j = json.load(sys.stdin)
assert len(j) == 3 and sum("damaged" in i for i in j) == 2, j' || return 1
  vz vaporize --yes "$(sys a.txt)" "$(sys b.txt)" </dev/null >/dev/null 2>&1; rc=$?
  vz restore --yes "$(sys a.txt)" </dev/null >/dev/null 2>&1
  vz empty --yes </dev/null >/dev/null 2>&1
  [ $rc -eq 1 ] && [ "$(cat "$host_c/docs/p.txt")" = precious ] && [ "$(vz list </dev/null | grep -c "damaged record")" -eq 2 ]
}

t_sending_stamp_in_another_zone() {
  reset; echo t >"$host_c/t.txt"
  TZ=Asia/Tokyo vz send --yes "$(sys t.txt)" </dev/null >/dev/null || return 1
  local sent now
  sent=$(TZ=Asia/Tokyo vz list --json </dev/null | python3 -c 'import json,sys; print(json.load(sys.stdin)[0]["sent"])')
  now=$(TZ=Asia/Tokyo date +%Y-%m-%dT%H:%M:%S)
  python3 -c '
import datetime, sys
a, b = (datetime.datetime.fromisoformat(x) for x in sys.argv[1:])
assert abs((a - b).total_seconds()) <= 120, (a, b)' "$sent" "$now" || return 1
  [ "$mode" = wine ] && return 0
  # The file's own time is that moment too, whatever the zone.
  local age=$(( $(date +%s) - $(stat -c %Y "$store/${L}1.txt") ))
  [ $age -ge -5 ] && [ $age -le 120 ]
}

# POSIX only: names are bytes, and the host's own folders.
t_posix_names_and_folders() {
  [ "$mode" = native ] || return 0
  reset; local cmd rc
  # A VAPORIZER_VOLUMES that cannot be read is a usage error everywhere.
  for cmd in list empty volumes settings "restore --stored x"; do
    VAPORIZER_VOLUMES="C=$tmp/c;E=$tmp/e:removabel" "$exe" $cmd </dev/null >/dev/null 2>"$tmp/err"; rc=$?
    [ $rc -eq 2 ] && grep -q 'removabel' "$tmp/err" || { echo "$cmd: $rc" >&2; return 1; }
  done
  # A folder named like the store at a volume's root is not the store.
  echo stored >"$host_c/s.txt"; vz send --yes "$(sys s.txt)" </dev/null >/dev/null || return 1
  mkdir -p "$host_c/vaporize" "$host_c/Vaporize"; echo mine >"$host_c/vaporize/m.txt"
  vz shred --yes "$host_c/vaporize" </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 2 ] && [ -e "$host_c/vaporize/m.txt" ] || return 1
  (cd "$host_c" && vz shred --yes Vaporize/${L}1.txt </dev/null >/dev/null 2>&1); rc=$?
  [ $rc -eq 2 ] && [ -e "$store/${L}1.txt" ] || return 1
  # ".." after a link: the folder the system resolves.
  mkdir -p "$host_c/deep/other" "$host_c/w"; ln -s "$host_c/deep/other" "$host_c/w/logs"
  echo real >"$host_c/deep/notes.txt"; echo keep >"$host_c/w/notes.txt"
  (cd "$host_c/w" && vz shred --yes logs/../notes.txt </dev/null >/dev/null) || return 1
  [ ! -e "$host_c/deep/notes.txt" ] && [ "$(cat "$host_c/w/notes.txt")" = keep ] || return 1
  # A blank at the end of a name is part of it.
  echo one >"$host_e/file"; echo two >"$host_e/file "
  vz send --yes "$host_e/file " </dev/null >/dev/null || return 1
  [ ! -e "$host_e/file " ] && [ "$(cat "$host_e/file")" = one ] || return 1
  # Names that are not UTF-8 travel in JSON without loss; the listing
  # shows control characters escaped.
  local latin esc
  latin="$host_c/caf$(printf '\351').txt" esc="$host_c/red$(printf '\033')[31m.txt"
  printf x >"$latin"; printf y >"$esc"
  vz send --yes "$latin" "$esc" </dev/null >/dev/null || return 1
  out=$(vz list </dev/null)
  echo "$out" | grep -qF 'red\x1B[31m.txt' && ! echo "$out" | grep -q "$(printf '\033')" || return 1
  vz list --json </dev/null | python3 -c '
import json, sys
names = [i.get("original_percent", "") for i in json.load(sys.stdin)]
assert any(n.endswith("/caf%E9.txt") for n in names), names' || return 1
  # A line break in a name cannot be recorded; nothing is touched.
  local two="$host_c/two
lines.txt"
  printf z >"$two"
  vz send --yes "$two" </dev/null | grep -q "line break" && [ -e "$two" ]
}

# Names in every script, look-alikes of a plain name, a path past 259
# characters: sent, listed, restored and vaporized exactly as they are. A
# record is in the ANSI code page (Windows-1252 under Wine) only where both
# its lines fit it; any other has a UTF-8 mark on each line.
# Typed, a name that Win32 reads as another ("report." as "report", "aux.c"
# as the device AUX) is refused, naming both forms; its twin and the named
# file keep every byte.
t_typed_names_win32_reads_otherwise() {
  [ "$mode" = wine ] || return 0
  reset; mkdir -p "$host_c/x" "$host_e/x"
  local pair name twin arg out rc cmd
  for pair in "report.:report" "tail :tail" "aux.c:aux"; do
    name=${pair%%:*} twin=${pair#*:}
    for cmd in send shred; do
      for arg in "D:\\x\\$name" "D:x\\$name" "E:\\x\\$name"; do
        printf named >"$host_c/x/$name"; printf twin >"$host_c/x/$twin"
        printf named >"$host_e/x/$name"; printf twin >"$host_e/x/$twin"
        out=$(vz "$cmd" --yes "$arg" </dev/null); rc=$?
        [ $rc -eq 1 ] && echo "$out" | grep -qF "reads \"${arg/D:x/D:\\x}\" as" || { echo "$cmd $arg: $rc $out" >&2; return 1; }
        for f in "$host_c/x/$name" "$host_e/x/$name"; do [ "$(cat "$f")" = named ] || return 1; done
        for f in "$host_c/x/$twin" "$host_e/x/$twin"; do [ "$(cat "$f")" = twin ] || return 1; done
      done
    done
  done
}

# The module registered and used from a folder whose path is past 259
# characters: register and the desktop refresh of every command reach it.
t_module_from_a_long_path() {
  [ "$mode" = wine ] || return 0
  reset
  local view=/reg:64 dir='C:\'$(printf '%0150d' 0)'\'$(printf '%0150d' 1) host dll out rc
  [[ $exe == *i686* ]] && view=/reg:32
  host="$WINEPREFIX/drive_c/$(printf '%0150d' 0)/$(printf '%0150d' 1)"
  mkdir -p "$host"; cp "$WINEPREFIX/drive_c/$(dirname "$(echo "${exe#C:\\}" | tr '\\' /)")/Vaporizer.dll" "$host/"
  dll="$dir\\Vaporizer.dll"
  local icon='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\CLSID\{5B7C1E2A-8F43-4D6B-9A21-3C7E5F90D1A4}\DefaultIcon'
  wine reg delete "$icon" /f $view >/dev/null 2>&1
  out=$(vz register "$dll" </dev/null); rc=$?
  [ $rc -eq 0 ] && echo "$out" | grep -qF "registered: $dll" || { echo "register: $rc $out" >&2; rm -rf "$WINEPREFIX/drive_c/$(printf '%0150d' 0)"; return 1; }
  # Where the volume keeps no short names the class holds the long path.
  # Sending refreshes the folder icon through that module, which writes the
  # user's icon state.
  wine reg add 'HKLM\Software\Classes\CLSID\{5B7C1E2A-8F43-4D6B-9A21-3C7E5F90D1A4}\InprocServer32' /ve /d "$dll" /f $view \
    >/dev/null 2>&1
  mkdir -p "$host_c/Work"; echo x >"$host_c/Work/a.txt"
  vz send --yes "$(sys Work/a.txt)" </dev/null >/dev/null
  wine reg query "$icon" $view 2>/dev/null | grep -q ",-102"; rc=$?
  vz unregister "$dll" </dev/null >/dev/null
  rm -rf "$WINEPREFIX/drive_c/$(printf '%0150d' 0)"
  return $rc
}

t_unicode_names() {
  reset; mkdir -p "$host_c/Work/Ωμέγα"; echo plain >"$host_c/Work/A.txt"; echo in >"$host_c/Work/Ωμέγα/in.txt"
  local long n args=()
  long=Work/$(printf '%0150d' 0)/$(printf '%0120d' 1)/Ж.txt
  local names=(Work/Привет.txt Work/Ωμέγα Work/日本語.txt "Work/😀 x.doc" Work/Ａ.txt Work/ﬁle.txt Work/café.txt "$long")
  for n in "${names[@]}"; do
    [ -d "$host_c/$n" ] || { mkdir -p "$(dirname "$host_c/$n")"; echo "content $n" >"$host_c/$n"; }
    args+=("$(sys "$n")")
  done
  local out; out=$(vz send --yes "${args[@]}" </dev/null) || return 1
  for n in "${names[@]}"; do echo "$out" | grep -qF "sent: $(sys "$n") -> " || { echo "not sent: $n" >&2; return 1; }; done
  python3 - "$mode" "$store/info.shr" "$(vz list --json </dev/null)" "${args[@]}" <<'PY' || return 1
import json, sys
mode, index, listed, paths = sys.argv[1], sys.argv[2], json.loads(sys.argv[3]), sys.argv[4:]
assert [i["original"] for i in listed] == paths, listed
assert [i["name"] for i in listed] == [p.replace("\\", "/").rsplit("/", 1)[1] for p in paths], listed
lines = open(index, "rb").read().split(b"\r\n")[:-1]
assert len(lines) == 2 * len(paths), lines
for k, p in enumerate(paths):
    first, second = lines[2 * k], lines[2 * k + 1]
    ansi = mode == "native" or p.endswith("café.txt")
    mark = b"" if ansi else b"\xef\xbb\xbf"
    assert first.startswith(mark) and second.startswith(mark), (p, first, second)
    text = first[len(mark):].decode("cp1252" if mode == "wine" and ansi else "utf-8")
    if mode == "wine":
        assert text == p, (text, p)
PY
  [ "$(cat "$host_c/Work/A.txt")" = plain ] || return 1
  vz restore --yes "${args[@]}" </dev/null | grep -c "^restored: " | grep -qx "${#names[@]}" || return 1
  for n in "${names[@]}"; do
    [ -d "$host_c/$n" ] || [ "$(cat "$host_c/$n")" = "content $n" ] || { echo "not restored: $n" >&2; return 1; }
  done
  [ "$(cat "$host_c/Work/Ωμέγα/in.txt")" = in ] || return 1
  vz send --yes "${args[@]}" </dev/null >/dev/null || return 1
  vz vaporize --yes "${args[@]}" </dev/null >/dev/null || return 1
  [ "$(vz list --json </dev/null | tr -d ' \n')" = "[]" ] && [ "$(cat "$host_c/Work/A.txt")" = plain ] &&
    [ "$(ls "$store" | grep -v -e desktop.ini -e info.shr)" = "" ] || return 1
  # Past 259 characters inside a folder that is sent, and where it lies.
  echo deep >"$host_c/$long"; echo deeper >"$host_c/${long%/*}/x.txt"
  vz shred --yes "$(sys "$long")" </dev/null >/dev/null && [ ! -e "$host_c/$long" ] || return 1
  vz send --yes "$(sys "${long%%/0*}/$(printf '%0150d' 0)")" </dev/null >/dev/null || return 1
  vz empty --yes </dev/null >/dev/null && [ "$(ls "$store" | grep -v -e desktop.ini -e info.shr)" = "" ]
}

# A thousand stored items emptied with a receipt: the medium's warning comes
# once for their volume (--json keeps it on every item), the receipt
# verifies, a byte changed anywhere names its line, and the receipt finds
# what was vaporized by the path it had while naming nothing itself.
t_receipt_and_one_warning() {
  reset; mkdir -p "$host_c/Many"
  local i paths=() out rc n line
  for ((i = 0; i < 1000; i++)); do echo "x$i" >"$host_c/Many/secret-$i.txt"; paths+=("$(sys "Many/secret-$i.txt")"); done
  local r_host=$host_c/r.jsonl r_sys; r_sys=$(sys r.jsonl)
  vz send --yes "${paths[@]}" </dev/null >/dev/null || return 1
  out=$(vz empty --yes --passes 1 --receipt "$r_sys" </dev/null) || return 1
  [ "$(echo "$out" | grep -c '^vaporized: ')" -eq 1000 ] && [ "$(echo "$out" | grep -c '^warning')" -le 1 ] || return 1
  if echo "$out" | grep -q '^warning'; then
    echo "$out" | grep -q "^warning (1000 items on $L:): " || return 1
    echo again >"$host_c/again.txt"
    # Under Wine its own messages share the output: the array alone is read.
    vz shred --yes --json "$(sys again.txt)" </dev/null | sed -n '/^\[/,/^\]/p' | python3 -c 'import json,sys; assert all(i["warning"] for i in json.load(sys.stdin))' || return 1
  fi
  vz receipt verify "$r_sys" </dev/null | grep -q ": 1002 lines in 1 run, each as it was written.*last run written" || return 1
  ! grep -q -i secret "$r_host" || return 1
  vz receipt find "$r_sys" "$(sys Many/secret-7.txt)" </dev/null | grep -q "vaporized (done)" || return 1
  vz receipt find "$r_sys" "$(sys Many/never.txt)" </dev/null >/dev/null; [ $? -eq 1 ] || return 1
  cp "$r_host" "$r_host.whole"
  for line in 1 2 500 1000 1002; do
    python3 - "$r_host" "$line" <<'PY'
import random, sys
path, n = sys.argv[1], int(sys.argv[2])
lines = open(path, "rb").read().split(b"\n")
l = bytearray(lines[n - 1]); k = random.randrange(len(l)); l[k] = ord("y") if l[k] != ord("y") else ord("z")
lines[n - 1] = bytes(l); open(path, "wb").write(b"\n".join(lines))
PY
    out=$(vz receipt verify "$r_sys" </dev/null); rc=$?
    cp "$r_host.whole" "$r_host"
    [ $rc -eq 1 ] && echo "$out" | grep -q "line $line is broken" || { echo "line $line: $out"; return 1; }
  done
}

# Emptying by rule: the dates sent are set back on the stored items, as the
# list shows them. What the rule takes goes, oldest first; nothing else.
names() { vz list --json </dev/null | python3 -c 'import json,sys; print(" ".join(i["name"] for i in json.load(sys.stdin)))'; }
t_empty_by_age_and_size() {
  reset; mkdir -p "$host_c/Work/tree"; echo t >"$host_c/Work/tree/t.txt"
  local f; for f in a:300000 b:200000 c:100000; do head -c "${f#*:}" /dev/zero >"$host_c/Work/${f%:*}.bin"; done
  vz send --yes "$(sys Work/a.bin)" "$(sys Work/b.bin)" "$(sys Work/c.bin)" "$(sys Work/tree)" </dev/null >/dev/null || return 1
  touch -d '40 days ago' "$store/${L}1.bin"; touch -d '20 days ago' "$store/${L}2.bin"; touch -d '35 days ago' "$store/${L}1"
  [ "$(vz list --older-than 30d --json </dev/null | python3 -c 'import json,sys; print(" ".join(i["name"] for i in json.load(sys.stdin)))')" = "a.bin tree" ] || return 1
  vz list --older-than 30d </dev/null | grep -q "^2 of 4 items go by the rule (older than 30 days)" || return 1
  vz empty --older-than 30d </dev/null >/dev/null 2>&1; [ $? -eq 2 ] && [ "$(names)" = "a.bin b.bin c.bin tree" ] || return 1
  vz empty --yes --older-than 4w --json </dev/null | python3 -c '
import json, sys
j = json.load(sys.stdin)
assert j["rule"] == "older than 28 days" and j["chosen"] == 2 and j["kept"] == 2, j
assert j["report"] and all(i["outcome"] == "done" for i in j["report"]), j' || return 1
  [ "$(names)" = "b.bin c.bin" ] || return 1
  vz empty --yes --keep-under 150K </dev/null | grep -q "1 of 2 items chosen" && [ "$(names)" = "c.bin" ]
}

# The settings' rule asks nothing (turning it on was the consent) and
# leaves a one-line summary: on Windows in the user's application data.
t_empty_by_settings() {
  reset; mkdir -p "$host_c/Work"; echo d >"$host_c/Work/d.txt"; echo e >"$host_c/Work/e.txt"
  vz send --yes "$(sys Work/d.txt)" "$(sys Work/e.txt)" </dev/null >/dev/null || return 1
  touch -d '10 days ago' "$store/${L}1.txt"
  vz settings --empty-after 0 --store-limit 0 </dev/null >/dev/null || return 1
  vz empty --by-settings </dev/null | grep -q "The settings empty nothing" && [ "$(names)" = "d.txt e.txt" ] || return 1
  vz settings --empty-after 5 </dev/null | grep -q "^empty-after *5 *(" || return 1
  local out; out=$(vz empty --by-settings </dev/null) || return 1
  echo "$out" | grep -q "^Emptied by the settings (older than 5 days): 1 of 2 items chosen" && [ "$(names)" = "e.txt" ] || return 1
  [ "$mode" = wine ] || return 0
  local log; log=$(find "$WINEPREFIX/drive_c/users" -path '*/Vaporizer/emptying.log' | head -n1)
  [ -n "$log" ] && tail -n1 "$log" | tr -d '\r' | grep -qE '^[0-9-]{10}T[0-9:]{8} Emptied by the settings \(older than 5 days\): 1 of 2' || return 1
  # The windowless launcher runs the same program and hands back its status.
  (cd "$WINEPREFIX/drive_c" && wine "${exe%vaporizer.exe}vaporizerw.exe" frobnicate </dev/null >/dev/null 2>&1); [ $? -eq 2 ] || return 1
  touch -d '10 days ago' "$store/${L}2.txt"
  (cd "$WINEPREFIX/drive_c" && wine "${exe%vaporizer.exe}vaporizerw.exe" empty --by-settings </dev/null >/dev/null 2>&1) && [ "$(names)" = "" ]
}

# Switched on and off as the system keeps it: on Windows a task of the
# user's in the Task Scheduler; on Linux the package's systemd user timer,
# here through a stand-in systemctl that answers as the real one does.
t_retention() {
  reset
  if [ "$mode" = native ]; then
    local bin=$tmp/fakebin; mkdir -p "$bin"
    cat >"$bin/systemctl" <<FAKE
#!/bin/sh
echo "\$*" >>"$tmp/systemctl.log"
case "\$*" in
  "--user enable --now vaporizer-emptying.timer") touch "$tmp/enabled" ;;
  "--user disable --now vaporizer-emptying.timer") rm -f "$tmp/enabled" ;;
  "--user is-enabled vaporizer-emptying.timer") [ -e "$tmp/enabled" ] && { echo enabled; exit 0; }; echo disabled; exit 1 ;;
  *) echo "Failed to connect to bus" >&2; exit 1 ;;
esac
FAKE
    chmod +x "$bin/systemctl"
    PATH=$bin:$PATH vz retention enable </dev/null | grep -q "^on: vaporizer-emptying.timer" || return 1
    grep -qx -- "--user enable --now vaporizer-emptying.timer" "$tmp/systemctl.log" || return 1
    PATH=$bin:$PATH vz retention status </dev/null | grep -q "^on: " || return 1
    PATH=$bin:$PATH vz retention disable </dev/null | grep -q "^off: vaporizer-emptying.timer" || return 1
    rm -f "$bin/systemctl"; ln -s /bin/false "$bin/systemctl"
    PATH=$bin:$PATH vz retention enable </dev/null >/dev/null 2>&1; [ $? -eq 1 ]
  else
    wine net start Schedule >/dev/null 2>&1
    local out; out=$(vz retention enable </dev/null) || return 1
    echo "$out" | grep -q "^on: Vaporizer Emptying-S-1-" || return 1
    ls "$WINEPREFIX/drive_c/windows/system32/tasks/" | grep -q "^Vaporizer Emptying-S-1-" || return 1
    vz retention disable </dev/null | grep -q "^off: Vaporizer Emptying-S-1-" &&
      ! ls "$WINEPREFIX/drive_c/windows/system32/tasks/" | grep -q "^Vaporizer Emptying"
  fi
}

t_volumes() {
  reset
  vz volumes </dev/null | grep -q "^      overwrite in place: " || return 1
  python3 - "$mode" "$(vz volumes --json </dev/null)" <<'PY'
import json, sys
mode, drives = sys.argv[1], json.loads(sys.argv[2])
assert any(d["drive"] == "C:" for d in drives), drives
for d in drives:
    m, v = d["medium"], d["verdict"]
    assert m["fileSystem"]["evidence"], m
    assert v["overwriteInPlace"] in ("reaches the old data", "does not reach the old data", "unknown"), v
    assert v["why"] and (v["overwriteInPlace"] == "reaches the old data") != bool(v["reasons"] and v["advice"]), v
    # Wine tells nothing of the host's devices, and the reason says so.
    assert mode != "wine" or v["overwriteInPlace"] != "unknown" or "Wine" in v["why"], v
PY
}

# A store made beforehand by another account is refused with its reason,
# and nothing is sent into it or read from it.
t_foreign_store_refused() {
  reset; mkdir -p "$host_c/Work" "$store"; echo mine >"$host_c/Work/a.txt"
  chmod 700 "$store"; chown 65534:65534 "$store"
  local out rc
  out=$(vz send --yes "$(sys Work/a.txt)" </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && [ -f "$host_c/Work/a.txt" ] && echo "$out" | grep -q "belongs to another account" || return 1
  out=$(vz list </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "^refused: the store on $L: .*belongs to another account (.*): an administrator can remove it" ||
    return 1
  # An index that is a pipe would hold the program, and the store's lock, for ever.
  [ "$mode" = native ] || return 0
  reset; mkdir -p "$store" && chmod 700 "$store" && mkfifo -m 600 "$store/info.shr" || return 1
  out=$(timeout 60 "$exe" list </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "info.shr is not a regular file: an administrator can remove it"
}

# Two accounts on a volume whose root both may write, root and nobody,
# each sending from a folder of its own: neither can read, list, restore
# or vaporize the other's items or read its index, and each one's empty
# leaves the other's items whole.
t_two_accounts() (
  local v=$tmp/shared w=$tmp/shared2 out rc
  mkdir -p "$v" "$w" "$tmp/config2"; chmod 1777 "$v" "$w"; chmod o+x "$tmp"; chown 65534 "$tmp/config2"
  export VAPORIZER_VOLUMES="C=$v"
  as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_CONFIG_HOME="$tmp/config2" "$@"; }
  mkdir -m 700 "$v/r"; echo "root secret" >"$v/r/s.txt"; echo "root again" >"$v/r/t.txt"
  as_nobody sh -c "mkdir -m 700 '$v/n' && echo 'nobody secret' >'$v/n/s.txt'" || return 1
  vz send --yes "$v/r/s.txt" </dev/null >/dev/null && as_nobody "$exe" send --yes "$v/n/s.txt" </dev/null >/dev/null || return 1
  [ "$(stat -c %a:%u "$v/.VAPORIZE" "$v/.VAPORIZE/0" "$v/.VAPORIZE/65534" | tr '\n' ' ')" = "1777:0 700:0 700:65534 " ] || return 1
  as_nobody cat "$v/.VAPORIZE/0/C1.txt" 2>/dev/null || as_nobody cat "$v/.VAPORIZE/0/info.shr" 2>/dev/null && return 1
  out=$(as_nobody "$exe" list </dev/null) && echo "$out" | grep -q "shared/n" && ! echo "$out" | grep -q "shared/r" || return 1
  out=$(vz list </dev/null) && echo "$out" | grep -q "shared/r" && ! echo "$out" | grep -q "shared/n" || return 1
  as_nobody "$exe" restore --yes "$v/r/s.txt" </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 1 ] && [ ! -e "$v/r/s.txt" ] || return 1
  as_nobody "$exe" vaporize --yes "$v/.VAPORIZE/0/C1.txt" </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 1 ] && [ "$(cat "$v/.VAPORIZE/0/C1.txt")" = "root secret" ] || return 1
  vz empty --yes </dev/null >/dev/null && [ "$(as_nobody cat "$v/.VAPORIZE/65534/C1.txt")" = "nobody secret" ] || return 1
  vz send --yes "$v/r/t.txt" </dev/null >/dev/null && as_nobody "$exe" empty --yes </dev/null >/dev/null || return 1
  [ "$(cat "$v/.VAPORIZE/0/C1.txt")" = "root again" ] && [ ! -e "$v/.VAPORIZE/65534/C1.txt" ] || return 1
  # A store that the other account made beforehand for this one.
  as_nobody sh -c "mkdir -m 1777 '$w/.VAPORIZE' && mkdir -m 777 '$w/.VAPORIZE/0'" && echo x >"$w/x.txt" || return 1
  out=$(VAPORIZER_VOLUMES="C=$w" vz send --yes "$w/x.txt" </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && [ -f "$w/x.txt" ] && echo "$out" | grep -q "belongs to another account (65534): an administrator can remove it"
)

# A drive's store folder that another account made or blocked, as root and
# two unprivileged accounts meet it: it is trusted only when root made it for
# every user (or it is the user's own on the user's own drive); else the
# user has no store there, and what is sent stays where it is, with the
# reason. Nothing of the one who sends is hidden, destroyed or moved.
t_shared_store_folders() (
  local d=$tmp/sh out rc who plant
  chmod o+x "$tmp"; mkdir -p "$tmp/cfg1" "$tmp/cfg2"; chown 65534 "$tmp/cfg1"; chown 65533 "$tmp/cfg2"
  as() {  # uid command...
    local u=$1; shift
    setpriv --reuid="$u" --regid="$u" --clear-groups env VAPORIZER_VOLUMES="C=$d" \
      XDG_CONFIG_HOME="$tmp/cfg$((u == 65534 ? 1 : u == 65533 ? 2 : 0))" "$@" </dev/null
  }
  fresh() { rm -rf "$d"; mkdir -m 1777 "$d"; for u in 0 65533; do as $u sh -c "echo $u >'$d/$u.txt'"; done; }
  # How nobody plants the drive's store folder, and what each sender is told.
  for plant in "mkdir -m 1777 .VAPORIZE|belongs to another account (65534)" "touch .VAPORIZE|is not a folder" \
      "mkdir -m 1777 x && ln -s x .VAPORIZE|is a link, not a folder" ":|must be made by root for every user"; do
    fresh; as 65534 sh -c "cd '$d' && ${plant%%|*}" || return 1
    for who in $([ "${plant%%|*}" = : ] || echo 0) 65533; do  # root may make it
      out=$(as $who "$exe" send --yes "$d/$who.txt" 2>&1); rc=$?
      [ $rc -eq 1 ] && [ "$(cat "$d/$who.txt")" = $who ] && grep -qF "${plant#*|}" <<<"$out" &&
        grep -q "Nothing was sent from there" <<<"$out" || { echo "$plant, $who: $rc $out"; return 1; }
      out=$(as $who "$exe" volumes 2>&1) && grep -qF "${plant#*|}" <<<"$out" || { echo "$out"; return 1; }
      # A store folder that is there but not trusted is named, with its cause.
      for c in list "empty --yes"; do
        [ "${plant%%|*}" = : ] && continue
        out=$(as $who "$exe" $c 2>&1); rc=$?
        [ $rc = 1 ] && grep "^refused: the store on C: " <<<"$out" | grep -qF "${plant#*|}" || { echo "$c: $out"; return 1; }
      done
    done
    # Nothing was made there: the plant is as it was.
    [ "$(find "$d" -path "$d/.VAPORIZE/*" | wc -l)" = 0 ] || return 1
  done
  # Root made it for every user: each keeps a store there that nobody, who
  # owns no part of it, can move away or replace.
  fresh; as 0 "$exe" send --yes "$d/0.txt" >/dev/null && as 65533 "$exe" send --yes "$d/65533.txt" | grep -q "^sent: " || return 1
  for s in 0 65533; do as 65534 mv "$d/.VAPORIZE/$s" "$d/.VAPORIZE/x" 2>/dev/null && return 1; done
  as 65534 mv "$d/.VAPORIZE" "$d/x" 2>/dev/null && return 1
  [ "$(as 65533 "$exe" list)" != "The Vaporizer is empty." ] && as 65533 "$exe" restore --yes "$d/65533.txt" >/dev/null &&
    [ "$(cat "$d/65533.txt")" = 65533 ] || return 1
  # A store that another account made for this one: every command names
  # the cause, none says the Vaporizer is empty.
  fresh; as 0 "$exe" send --yes "$d/0.txt" >/dev/null && as 65534 mkdir -m 700 "$d/.VAPORIZE/65533" || return 1
  for c in "send --yes $d/65533.txt" list "empty --yes"; do
    out=$(as 65533 "$exe" $c 2>&1); rc=$?
    [ $rc = 1 ] && grep -qF "$d/.VAPORIZE/65533 belongs to another account (65534)" <<<"$out" &&
      ! grep -q "is empty" <<<"$out" && [ -f "$d/65533.txt" ] || { echo "$c: $out"; return 1; }
  done
  # On a drive of the user's own, the user's own store folder is fine.
  fresh; chown 65533 "$d" && chmod 755 "$d" && as 65533 "$exe" send --yes "$d/65533.txt" | grep -q "^sent: " &&
    [ "$(stat -c %a:%u "$d/.VAPORIZE")" = 700:65533 ]
)

# An account's own files and folders that it may not write, read or enter
# (000, 0444, 0555) are made usable through their handles and vaporized,
# sent first or shredded where they are; another's file is refused.
t_own_unwritable() (
  local d=$tmp/own out
  chmod o+x "$tmp"; rm -rf "$d"; mkdir -p "$d" "$tmp/cfg3"; chown 65534 "$d" "$tmp/cfg3"
  as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups env VAPORIZER_VOLUMES="C=$d" \
    XDG_CONFIG_HOME="$tmp/cfg3" "$@" </dev/null; }
  for road in sent shred; do
    as_nobody sh -c "cd '$d' && mkdir -p t/locked t/ro && echo a >t/none && echo b >t/ro/r && echo c >t/locked/c &&
      chmod 000 t/none t/locked && chmod 444 t/ro/r && chmod 555 t/ro" || return 1
    if [ $road = sent ]; then
      as_nobody "$exe" send --yes "$d/t" >/dev/null && out=$(as_nobody "$exe" empty --yes) || { echo "$out"; return 1; }
    else
      out=$(as_nobody "$exe" shred --yes "$d/t") || { echo "$out"; return 1; }
    fi
    [ ! -e "$d/t" ] && [ -z "$(find "$d" -path "$d/.VAPORIZE/*" ! -name info.shr ! -name desktop.ini ! -name 65534)" ] ||
      { echo "$road: $out"; ls -laR "$d"; return 1; }
  done
  echo root >"$d/root.txt" && chmod 444 "$d/root.txt" && ! as_nobody "$exe" shred --yes "$d/root.txt" >/dev/null 2>&1 &&
    [ "$(cat "$d/root.txt")" = root ]
)

# Restore brings back the times a file, a read-only file and a folder had
# when they were sent; an item stored without them (as earlier versions
# stored every item) comes back with the day it was sent.
t_restore_keeps_own_times() {
  reset; mkdir -p "$host_c/W/dir" && echo a >"$host_c/W/a.txt" && echo r >"$host_c/W/r.txt" && chmod 444 "$host_c/W/r.txt" &&
    echo e >"$host_c/W/e.txt" || return 1
  touch -m -d '2015-03-04 05:06:07' "$host_c/W/a.txt" "$host_c/W/r.txt" "$host_c/W/dir" "$host_c/W/e.txt"
  touch -a -d '2016-01-02 03:04:05' "$host_c/W/a.txt"
  vz send --yes "$host_c"/W/{a.txt,r.txt,dir,e.txt} >/dev/null || return 1
  [ "$(date -r "$store/C1.txt" +%Y)" = "$(date +%Y)" ] || return 1  # the stored item shows the day it was sent
  python3 -c 'import os,sys; os.removexattr(sys.argv[1], "user.vaporizer.times")' "$(grep -lx e "$store"/*.txt)" ||
    return 1
  vz restore --yes "$host_c"/W/{a.txt,r.txt,dir,e.txt} >/dev/null || return 1
  [ "$(stat -c %y "$host_c/W/a.txt" "$host_c/W/r.txt" "$host_c/W/dir" | cut -c1-19 | sort -u)" = "2015-03-04 05:06:07" ] &&
    [ "$(stat -c %x "$host_c/W/a.txt" | cut -c1-19)" = "2016-01-02 03:04:05" ] &&
    [ "$(date -r "$host_c/W/e.txt" +%Y)" = "$(date +%Y)" ] && [ "$(stat -c %a "$host_c/W/r.txt")" = 444 ] || {
      stat "$host_c"/W/*; return 1; }
}

# A bind mount of another folder inside an item that is sent, shredded or
# emptied: the drive table (VAPORIZER_VOLUMES) knows nothing of it, and the
# item is refused whole all the same; what the mount shows stays.
t_bind_mount_inside() (
  local v=$tmp/bm out rc c
  rm -rf "$v"; mkdir -p "$v/item/sub" "$v/other" && echo keep >"$v/other/k.txt" && echo x >"$v/item/x.txt" || return 1
  export VAPORIZER_VOLUMES="C=$v"
  mount --bind "$v/other" "$v/item/sub" || return 1
  trap 'umount "$v/item/sub" "$v/.VAPORIZE/0/C1/sub" 2>/dev/null' EXIT
  for c in send shred; do
    out=$("$exe" $c --yes "$v/item" </dev/null 2>&1); rc=$?
    [ $rc = 1 ] && grep -q "another file system or a bind mount is mounted inside it" <<<"$out" && [ -f "$v/item/x.txt" ] &&
      [ "$(cat "$v/other/k.txt")" = keep ] || { echo "$c: $out"; return 1; }
  done
  umount "$v/item/sub" && "$exe" send --yes "$v/item" </dev/null >/dev/null && mount --bind "$v/other" "$v/.VAPORIZE/0/C1/sub" ||
    return 1
  out=$("$exe" empty --yes </dev/null 2>&1); rc=$?
  [ $rc = 1 ] && grep -q "another file system or a bind mount is mounted inside it" <<<"$out" && [ "$(cat "$v/other/k.txt")" = keep ] &&
    [ -f "$v/.VAPORIZE/0/C1/x.txt" ] || { echo "$out"; return 1; }
)

# Checks that need root, to act as or for another account.
check_as_root() {
  if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    check "$@"
  else
    echo "[ RUN      ] $check_prefix$1"; check_tag=cli check_result "$1" skip "needs root and setpriv"
  fi
}

source "$(dirname "$0")/proof_and_policy.sh"

check Help t_help
check ReceiptOfAThousandItemsAndOneWarningPerVolume t_receipt_and_one_warning
check ReceiptTamperingIsNamedByLineOrRun t_receipt_tampering
check PolicyTemplatesNameTheProgramsRules t_policy_templates
check ExitStatusIsTheSameForTheSameMistake t_exit_status
check FillIsDecimalOrHexadecimal t_fill_is_decimal_or_hex
check RestoreNeverReplacesUnasked t_restore_never_replaces_unasked
check SettingsShowWhatTheNextVaporizeUses t_settings_show_what_is_used
check ArgumentsArePathsAndStoredNamesNeedStored t_arguments_are_paths
check HandEditedIndexIsShownDamagedAndNeverActedOn t_hand_edited_index
check SendingStampInAnotherTimeZone t_sending_stamp_in_another_zone
check PosixNamesAndFolders t_posix_names_and_folders
check UnicodeNamesAndLongPaths t_unicode_names
check ModuleFromALongPath t_module_from_a_long_path
check TypedNamesThatWin32ReadsOtherwiseAreRefused t_typed_names_win32_reads_otherwise
check RefusesWithoutYesOnANonTerminal t_refuses_without_yes
check SendListRestore t_send_list_restore
check VaporizeAndEmpty t_vaporize_and_empty
check NothingInAStoreIsHidden t_nothing_hidden
check RemovableDriveIsVaporizedAtOnce t_removable_is_vaporized_at_once
check RefusalsAndUsageErrors t_refusals
check ShredInPlace t_shred_in_place
check Settings t_settings
check NamesMatchExactlyFirst t_names_match_exactly_first
check StoredNamesOnTwoDrives t_stored_names_on_two_drives
check Properties t_properties
check VolumesGiveAVerdictWithEvidence t_volumes
check EmptyByAgeAndSize t_empty_by_age_and_size
check EmptyBySettingsAsksNothingAndLeavesASummary t_empty_by_settings
check RetentionIsSwitchedAsTheSystemKeepsIt t_retention
check_as_root ForeignStoreIsRefused t_foreign_store_refused
if [ "$mode" = native ]; then
  check_as_root MachinePolicyWinsAndIsRootsAlone t_policy
  rm -rf "$tmp/policy"
else
  check MachinePolicyWinsAndIsRootsAlone t_policy
  set_policy   # no policy left for the checks after it
fi
[ "$mode" = native ] && check_as_root TwoAccountsOnOneVolume t_two_accounts
[ "$mode" = native ] && check RestoreBringsBackTheItemsOwnTimes t_restore_keeps_own_times
[ "$mode" = native ] && check_as_root BindMountInsideAnItemIsNeverWalked t_bind_mount_inside
[ "$mode" = native ] && check_as_root SharedStoreFoldersOfOtherAccountsAreNotTrusted t_shared_store_folders
[ "$mode" = native ] && check_as_root OwnUnwritableItemsAreMadeWritableByHandle t_own_unwritable

check_summary
