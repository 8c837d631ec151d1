#!/usr/bin/env bash
# End-to-end tests of the companion program, driven as a user drives it.
#   tests/cli/cli_test.sh native PATH/TO/vaporizer
#   tests/cli/cli_test.sh wine 'C:\vz\x86_64\vaporizer.exe'   (inside a test prefix)
# Prints GoogleTest-style result lines.
set -u
mode=$1 exe=$2
check_prefix=Cli.
source "$(dirname "$0")/../support/check.sh"

if [ "$mode" = native ]; then
  tmp=$(mktemp -d /tmp/vz-cli-XXXXXX)
  trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/c" "$tmp/e" "$tmp/config" "$tmp/outside"
  export VAPORIZER_VOLUMES="C=$tmp/c;E=$tmp/e:removable" XDG_CONFIG_HOME="$tmp/config"
  vz() { "$exe" "$@"; }
  host_c=$tmp/c host_e=$tmp/e
  sys() { echo "$tmp/c/$1"; }     # a file on the fixed drive, as the program is given it
  sys_e() { echo "$tmp/e/$1"; }
  outside=$tmp/outside/x.txt
  store=$tmp/c/.VAPORIZE
  L=C      # the letter of the fixed test drive
else
  host_c=$WINEPREFIX/drive-d host_e=$WINEPREFIX/drive-e
  # Run from inside the prefix: the host's folders have no drive letter there.
  vz() { (cd "$WINEPREFIX/drive_c" && wine "$exe" "$@" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}"); }
  sys() { echo "D:\\${1//\//\\}"; }
  sys_e() { echo "E:\\${1//\//\\}"; }
  outside='\\server\share\x.txt'
  store=$host_c/VAPORIZE
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
  vz restore --yes ${L}1.doc </dev/null | grep -q "restored" || return 1
  [ "$(cat "$host_c/Work/report.doc")" = "hello report" ] || return 1
  [ "$(vz list --json </dev/null | tr -d ' \n')" = "[]" ]
}

t_vaporize_and_empty() {
  reset; mkdir -p "$host_c/Work/sub"; echo one >"$host_c/Work/one.txt"; echo two >"$host_c/Work/sub/two.txt"
  vz send --yes "$(sys Work/one.txt)" "$(sys Work/sub)" </dev/null >/dev/null || return 1
  local rc
  vz vaporize ${L}1.txt </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 2 ] || return 1
  vz vaporize --yes --passes 2 --fill 0xFF ${L}1.txt </dev/null | grep -q "vaporized" || return 1
  [ ! -e "$store/${L}1.txt" ] || return 1
  vz list </dev/null | grep -q "sub" || return 1
  vz empty --yes </dev/null >/dev/null || return 1
  [ ! -e "$store/${L}1" ] && [ "$(vz list --json </dev/null | tr -d ' \n')" = "[]" ]
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
  vz restore --yes NoSuch.doc </dev/null >/dev/null 2>&1; rc=$?
  [ $rc -eq 2 ] || return 1
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

t_settings() {
  reset
  vz settings --passes 5 --progress off </dev/null | grep -q "passes *5" || return 1
  vz settings </dev/null | grep -q "progress *off"
}

t_properties() {
  reset; mkdir -p "$host_c/Work"; head -c 3500 /dev/zero >"$host_c/Work/big.bin"
  vz send --yes "$(sys Work/big.bin)" </dev/null >/dev/null || return 1
  vz properties ${L}1.bin </dev/null | grep -q "3 KB (3500 bytes)" || return 1
  vz properties --json ${L}1.bin </dev/null | python3 -c 'import json,sys; j=json.load(sys.stdin); assert j["size"]=="3 KB (3500 bytes)", j'
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

check Help t_help
check RefusesWithoutYesOnANonTerminal t_refuses_without_yes
check SendListRestore t_send_list_restore
check VaporizeAndEmpty t_vaporize_and_empty
check RemovableDriveIsVaporizedAtOnce t_removable_is_vaporized_at_once
check RefusalsAndUsageErrors t_refusals
check ShredInPlace t_shred_in_place
check Settings t_settings
check Properties t_properties
check VolumesGiveAVerdictWithEvidence t_volumes

check_summary
