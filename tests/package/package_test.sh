#!/usr/bin/env bash
# The packages as a user meets them. The Debian package: its contents, the
# unpacked program, its manual page and bash completion. The Windows
# installers under Wine: a silent install, registration in both registry
# views, the desktop's folder served by the installed module, the installed
# program, an upgrade in place, a refused downgrade, and an uninstall that
# leaves no file and no key of ours.
#   tests/package/package_test.sh DIST-FOLDER BUILD-FOLDER
# (scripts/package fills DIST-FOLDER; BUILD-FOLDER holds win64/ and win32/.)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(realpath "$1") build=$(realpath "$2")
source "$root/tests/support/check.sh"
version=$(cat "$build/native/VERSION")
next=${version%.*}.$((${version##*.} + 1))
tmp=$(mktemp -d /tmp/vz-package-XXXXXX)

# --- The Debian package ------------------------------------------------------
deb=$dist/vaporizer_${version}_amd64.deb
exe=$tmp/deb/usr/bin/vaporizer

t_deb_contents() {
  local files
  files=$(dpkg-deb -c "$deb" | awk '{print $6}') || return 1
  for f in ./usr/bin/vaporizer ./usr/share/man/man1/vaporizer.1.gz ./usr/share/bash-completion/completions/vaporizer \
    ./usr/lib/systemd/user/vaporizer-emptying.service ./usr/lib/systemd/user/vaporizer-emptying.timer \
    ./usr/libexec/vaporizer/file-manager-action ./usr/share/kio/servicemenus/vaporizer.desktop \
    ./usr/share/nemo/actions/vaporizer-send.nemo_action ./usr/share/nautilus-python/extensions/vaporizer.py; do
    grep -qx "$f" <<<"$files" || { echo "missing: $f"; return 1; }
  done
  [ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = \
    "Package: vaporizer Version: $version Architecture: amd64 " ] && dpkg-deb -f "$deb" Depends | grep -q libc6
}

t_deb_program_runs() {
  dpkg-deb -x "$deb" "$tmp/deb" && [ "$("$exe" --version)" = "vaporizer $version" ]
}

t_deb_manual_page() {
  local page wide
  page=$(MANWIDTH=120 man -l "$tmp/deb/usr/share/man/man1/vaporizer.1.gz" 2>/dev/null) || return 1
  # Paragraphs on one line each: the drives, stores and VAPORIZER_VOLUMES.
  wide=$(MANWIDTH=1000 man -l "$tmp/deb/usr/share/man/man1/vaporizer.1.gz" 2>/dev/null | tr -s ' ')
  grep -q "^NAME" <<<"$page" && grep -q "vaporizer - the Vaporizer secure-deletion bin" <<<"$page" &&
    grep -q "send files and folders to the Vaporizer" <<<"$page" && grep -q "vaporizer $version" <<<"$page" &&
    grep -q "^COMMANDS" <<<"$page" && grep -q "answer Yes to the caution question" <<<"$page" &&
    grep -q "every mounted file system that holds user files is a drive of its own" <<<"$wide" &&
    grep -q 'listed as "drive not present"' <<<"$wide" && grep -q "VAPORIZER_VOLUMES=" <<<"$wide"
}

completions() {  # the words offered after the given ones
  COMP_WORDS=("$exe" "$@") COMP_CWORD=$#
  COMPREPLY=()
  _vaporizer
  echo "${COMPREPLY[*]}"
}

t_deb_bash_completion() {
  source "$tmp/deb/usr/share/bash-completion/completions/vaporizer" || return 1
  touch "$tmp/report.txt"
  [ "$(completions se)" = "send settings" ] && [ "$(completions send --y)" = "--yes" ] &&
    [ "$(completions settings --progress '')" = "on off" ] && [ -z "$(completions vaporize --passes '')" ] &&
    [ "$(completions retention '')" = "enable disable status" ] && [ "$(completions retention d)" = "disable" ] &&
    [ "$(completions send "$tmp/rep")" = "$tmp/report.txt" ]
}

# The scheduled emptying's units as systemd reads them (no user service
# manager runs here to enable them), and the timer's command run by hand:
# it vaporizes what the settings say, and only that.
t_deb_systemd_units() {
  local units=$tmp/units run=$tmp/run c=$tmp/units-c
  mkdir -p "$units" "$run" "$c" && chmod 700 "$run"
  sed "s|/usr/bin/vaporizer|$exe|" "$tmp/deb/usr/lib/systemd/user/vaporizer-emptying.service" >"$units/vaporizer-emptying.service"
  cp "$tmp/deb/usr/lib/systemd/user/vaporizer-emptying.timer" "$units/"
  (cd "$units" && XDG_RUNTIME_DIR=$run systemd-analyze --user --man=no verify vaporizer-emptying.timer vaporizer-emptying.service) || return 1
  grep -qx "OnCalendar=daily" "$units/vaporizer-emptying.timer" && grep -qx "OnStartupSec=2min" "$units/vaporizer-emptying.timer" || return 1
  local command; command=$(sed -n 's/^ExecStart=//p' "$units/vaporizer-emptying.service")
  in_c() { VAPORIZER_VOLUMES="C=$c" XDG_CONFIG_HOME=$tmp/units-config "$@"; }
  echo old >"$c/old.txt"; echo new >"$c/new.txt"
  in_c "$exe" send --yes "$c/old.txt" "$c/new.txt" >/dev/null && in_c "$exe" settings --empty-after 7 >/dev/null || return 1
  local own=$c/.VAPORIZE/$(id -u)
  touch -d '8 days ago' "$own/C1.txt"
  in_c $command </dev/null | tail -n1 | grep -q "^Emptied by the settings (older than 7 days): 1 of 2 items chosen" &&
    [ ! -e "$own/C1.txt" ] && [ "$(cat "$own/C2.txt")" = new ]
}

# The file managers' actions, run as each file manager runs them, on a drive
# of their own; the desktop's tools are stand-ins that say what they were
# given. With `dialog`, questions go to a zenity that answers Yes; without,
# the menu's choice answers.
fm=$tmp/fm python=$(python3 -c 'import sys; print(sys.executable)')
mkdir -p "$fm/bin" "$fm/tools" "$fm/gi"
for t in sh mktemp head sed rm cat grep; do ln -s "$(command -v $t)" "$fm/bin/$t"; done
ln -s "$tmp/deb/usr/bin/vaporizer" "$fm/bin/vaporizer"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/notified"\n' "$fm" >"$fm/bin/notify-send"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/asked"\n' "$fm" >"$fm/tools/zenity"
chmod +x "$fm/bin/notify-send" "$fm/tools/zenity"
printf 'class GObject:\n    class GObject: pass\nclass Nautilus:\n    class MenuProvider: pass\n    class MenuItem:\n        def __init__(self, name, label): self.name, self.label = name, label\n        def connect(self, signal, f, *a): self.activate = lambda: f(self, *a)\n' >"$fm/gi/repository.py"
touch "$fm/gi/__init__.py"

# kind (desktop, nemo, nautilus), file, section (the Exec's group), choice,
# dialog|menu: the two test paths go to the action, which must then have
# sent or shredded exactly those two and told the notification.
fm_run() {
  local kind=$1 file=$tmp/deb$2 section=$3 choice=$4 path=$fm/bin
  local dir=$fm/c/$kind-$choice
  rm -rf "$fm/c" "$fm/config" "$fm/notified" "$fm/asked" && mkdir -p "$dir" && echo one >"$dir/plain.txt" &&
    echo two >"$dir/a file é.txt" && echo three >"$dir/other.txt" || return 1
  [ "$5" = dialog ] && path=$fm/tools:$path
  PATH=$path VAPORIZER_VOLUMES="C=$fm/c" XDG_CONFIG_HOME=$fm/config "$python" - "$kind" "$file" "$section" "$choice" \
    "$tmp/deb" "$fm" "$dir/plain.txt" "$dir/a file é.txt" <<'PY' || return 1
import configparser, importlib.util, os, shlex, subprocess, sys
kind, file, section, choice, deb, fm, *paths = sys.argv[1:]
if kind == "nautilus":
    sys.path.insert(0, fm)
    found = importlib.util.spec_from_file_location("ext", file)
    ext = importlib.util.module_from_spec(found)
    found.loader.exec_module(ext)
    ext.ACTION = deb + ext.ACTION
    class File:
        def __init__(self, p): self.p = p
        def get_location(self): return self
        def get_path(self): return self.p
    items = ext.VaporizerMenu().get_file_items(None, [File(p) for p in paths])
    sys.exit([i for i in items if i.name == "Vaporizer::" + choice][0].activate().wait())
ini = configparser.RawConfigParser(strict=False)
ini.optionxform = str
ini.read(file, encoding="utf-8")
exec_line = ini[section]["Exec"]
# Desktop entries hand each path over as an argument of its own; Nemo
# writes them into the line, quoted as the action says, and splits it.
quote = {"double": '"', "single": "'"}.get(ini[section].get("Quote"), "")
words = shlex.split(exec_line.replace("%F", " ".join(quote + p + quote for p in paths))) if kind == "nemo" else \
    [w for x in exec_line.split() for w in (paths if x == "%F" else [x])]
sys.exit(subprocess.call([deb + words[0]] + words[1:]))
PY
  local listed
  listed=$(XDG_CONFIG_HOME=$fm/config VAPORIZER_VOLUMES="C=$fm/c" "$exe" list --json | python3 -c \
    'import json, sys; print("|".join(sorted(i["original"] for i in json.load(sys.stdin))))')
  [ ! -e "$dir/plain.txt" ] && [ ! -e "$dir/a file é.txt" ] && [ -e "$dir/other.txt" ] || return 1
  if [ "$choice" = send ]; then [ "$listed" = "$dir/a file é.txt|$dir/plain.txt" ] || return 1
  else [ -z "$listed" ] || return 1; fi
  grep -q "done" "$fm/notified" && { [ "$5" = menu ] || grep -qi "vaporiz" "$fm/asked"; }
}

# Desktop entries of another kind (KDE's service menus, FileManager-Actions)
# validate but for the type and the keys that make their kind.
validates() {
  desktop-file-validate "$tmp/deb$1" 2>&1 | grep -v -e 'type is "Service"' -e '"all/all" which is an invalid MIME' \
    -e '"Action" for key "Type"' -e '"Tooltip" in group' -e '"Profiles" in group' | grep . && return 1
  return 0
}

t_deb_dolphin_service_menu() {
  local f=/usr/share/kio/servicemenus/vaporizer.desktop
  validates $f && fm_run desktop $f "Desktop Action send" send dialog && fm_run desktop $f "Desktop Action shred" shred menu
}

t_deb_caja_actions() {
  local f=/usr/share/file-manager/actions/vaporizer
  validates $f-send.desktop && validates $f-shred.desktop &&
    fm_run desktop $f-send.desktop "X-Action-Profile files" send menu &&
    fm_run desktop $f-shred.desktop "X-Action-Profile files" shred dialog
}

t_deb_nemo_actions() {
  local f=/usr/share/nemo/actions/vaporizer
  fm_run nemo $f-send.nemo_action "Nemo Action" send menu && fm_run nemo $f-shred.nemo_action "Nemo Action" shred dialog
}

t_deb_nautilus_extension() {
  local f=/usr/share/nautilus-python/extensions/vaporizer.py
  fm_run nautilus $f "" send dialog && fm_run nautilus $f "" shred menu
}

# With no dialog, sending leaves what has no store where it is.
t_deb_send_from_the_menu_keeps_what_has_no_store() {
  rm -rf "$fm/c" "$fm/e" && mkdir -p "$fm/c" "$fm/e" && echo kept >"$fm/e/usb.txt" || return 1
  PATH=$fm/bin VAPORIZER_VOLUMES="C=$fm/c;E=$fm/e:removable" XDG_CONFIG_HOME=$fm/config \
    "$tmp/deb/usr/libexec/vaporizer/file-manager-action" send "$fm/e/usb.txt" && return 1
  [ "$(cat "$fm/e/usb.txt")" = kept ] && grep -q "not everything was done" "$fm/notified"
}

check Deb.Contents t_deb_contents
check Deb.ProgramRuns t_deb_program_runs
check Deb.ManualPage t_deb_manual_page
check Deb.BashCompletion t_deb_bash_completion
check Deb.SystemdUnits t_deb_systemd_units
check Deb.DolphinServiceMenu t_deb_dolphin_service_menu
check Deb.CajaActions t_deb_caja_actions
check Deb.NemoActions t_deb_nemo_actions
check Deb.NautilusExtension t_deb_nautilus_extension
check Deb.SendFromTheMenuKeepsWhatHasNoStore t_deb_send_from_the_menu_keeps_what_has_no_store

# --- The Windows installers under Wine --------------------------------------
# Each installer in a prefix of its own (64-bit Windows for the x64 one,
# 32-bit Windows for the x86 one); the tests run from its drive C:.
source "$root/scripts/lib/wine-prefix.sh"
prefixes=()
trap 'for p in "${prefixes[@]}"; do WINEPREFIX="$p" wineserver -k >/dev/null 2>&1; rm -rf "$p"; done; rm -rf "$tmp"' EXIT
new_prefix() {  # win64 or win32
  WINEARCH=$1 vz_make_prefix
  prefix=$WINEPREFIX
  prefixes+=("$prefix")
  cd "$prefix/drive_c" && mkdir pkgtest && cp "$tmp"/pkgtest/* pkgtest/
  # Windows runs the Task Scheduler always; Wine starts it on demand.
  wine net start Schedule >/dev/null 2>&1
  snapshot | sort >"$tmp/before"
}
mkdir "$tmp/pkgtest"
cp "$dist"/*.msi "$tmp/pkgtest/"
cp "$build/win64/tests/vz_desktop_probe.exe" "$tmp/pkgtest/probe64.exe"
cp "$build/win32/tests/vz_desktop_probe.exe" "$tmp/pkgtest/probe32.exe"
"$root/packaging/windows/make-msi" x64 "$next" "$tmp/pkgtest/Vaporizer-$next-x64.msi" "$build/win64" "$build/win32"
# An installer whose 32-bit module is a program without the registration
# export: its registration fails after the 64-bit one succeeded.
mkdir "$tmp/broken32" && cp "$build/win32/vaporizer.exe" "$build/win32/vaporizerw.exe" "$tmp/broken32/" &&
  cp "$build/win32/vaporizer.exe" "$tmp/broken32/Vaporizer.dll"
"$root/packaging/windows/make-msi" x64 "$version" "$tmp/pkgtest/Vaporizer-broken-x64.msi" "$build/win64" "$tmp/broken32"

folder='{5B7C1E2A-8F43-4D6B-9A21-3C7E5F90D1A4}'
pf='C:\Program Files\Vaporizer'
win() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
msiexec() { wine msiexec "$@" </dev/null >/dev/null 2>&1; }
installed() { msiexec /i "C:\\pkgtest\\Vaporizer-$1.msi" /qn; }
removed() { msiexec /x "C:\\pkgtest\\Vaporizer-$1.msi" /qn "${@:2}"; }
# The desktop's Vaporizer item as a program of each bitness sees it, with
# the module that the shell loaded for it.
desktop_item() { win "C:\\pkgtest\\probe$1.exe" | grep '^Vaporizer'; }
registered() { win reg query "HKLM\\Software\\Classes\\CLSID\\$folder\\InprocServer32" /ve "/reg:$1" | grep -q 'REG_SZ *C:\\.*\.DLL$'; }
# "name version publisher size" of each installed product called Vaporizer,
# from both registry views (one and the same on 32-bit Windows), as Apps and
# Features reads them.
products() {
  local view
  for view in 64 32; do win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view; done | awk '
    function put() { if (name == "Vaporizer") print name, version, publisher, size; name = version = publisher = size = "" }
    /^HKEY/ { put() }
    $1 == "DisplayName" { name = $3 }
    $1 == "DisplayVersion" { version = $3 }
    $1 == "Publisher" { sub(/^ *Publisher *REG_SZ */, ""); publisher = $0 }
    $1 == "Size" { size = $3 }
    END { put() }' | sort -u
}
# What Apps and Features should show for a version installed in a folder.
product() { echo "Vaporizer $1 Orvel Technologies $((($(find "$2" -type f -printf '%s+')0 + 1023) / 1024))"; }
# Every registry key and every file of drives C: and D:, once the server
# has written the registry out; the installer service's own bookkeeping
# (its folder, its keys) left aside.
snapshot() {
  timeout 120 wineserver -w
  grep -h '^\[' "$prefix/system.reg" "$prefix/user.reg" | sed 's/\] [0-9]*$/]/' | grep -v '\\\\Installer\\\\'
  (cd "$prefix" && find drive_c drive-d -path drive_c/pkgtest -prune -o -path drive_c/windows/Installer -prune -o -print)
}
# Nothing of ours in any key, value or file name, and nothing new.
nothing_left() {
  local ours added
  # The server writes the registry files out when it ends.
  timeout 120 wineserver -w
  ours=$(grep -il 'vaporiz\|orvel\|5B7C1E2' "$prefix/system.reg" "$prefix/user.reg")
  added=$(snapshot | sort | comm -13 "$tmp/before" -)
  [ -z "$ours$added" ] || { echo "left behind: $ours"; echo "$added" | head -n 20; return 1; }
}

# A failed registration fails the install, whose files go again. (Wine runs
# the undo of the installed files before the undo of the registration,
# which then finds no program to run: the rows stay until the next install
# writes them again and its removal takes them.)
t_x64_failed_registration_fails_the_install() {
  [ -f pkgtest/Vaporizer-broken-x64.msi ] || return 1
  installed broken-x64 && return 1
  [ ! -e "Program Files/Vaporizer" ] && [ -z "$(products)" ]
}

t_x64_installs_silently() {
  installed "$version-x64" || return 1
  # Each file carries the version in its version resource.
  for f in vaporizer.exe vaporizerw.exe Vaporizer.dll x86/vaporizer.exe x86/vaporizerw.exe x86/Vaporizer.dll; do
    [ "$(strings -el "Program Files/Vaporizer/$f" | grep -A1 -x FileVersion | tail -n1)" = "$version" ] ||
      { echo "not at $version: $f"; return 1; }
  done
  [ "$(products)" = "$(product "$version" "Program Files/Vaporizer")" ]
}

t_x64_registered_in_both_views() {
  registered 64 && registered 32 && [ "$(desktop_item 64)" = "Vaporizer	$pf\\Vaporizer.dll" ] &&
    [ "$(desktop_item 32)" = "Vaporizer	$pf\\x86\\Vaporizer.dll" ]
}

t_x64_programs_run() {
  [ "$(win "$pf\\vaporizer.exe" --version)" = "vaporizer $version" ] &&
    [ "$(win "$pf\\x86\\vaporizer.exe" --version)" = "vaporizer $version" ] &&
    [ "$(win cmd /c vaporizer --version)" = "vaporizer $version" ]
}

# By hand: a missing module, or one of the other bitness, fails and changes nothing.
t_x64_register_refuses_what_it_cannot_load() {
  local out
  win "$pf\\vaporizer.exe" register 'C:\pkgtest\none.dll' >/dev/null && return 1
  out=$(wine "$pf\\vaporizer.exe" register "$pf\\x86\\Vaporizer.dll" </dev/null 2>&1) && return 1
  grep -q "cannot be loaded" <<<"$out" && [ "$(desktop_item 64)" = "Vaporizer	$pf\\Vaporizer.dll" ]
}

t_x64_upgrade_in_place() {
  installed "$next-x64" && [ "$(products)" = "$(product "$next" "Program Files/Vaporizer")" ] &&
    [ "$(desktop_item 64)" = "Vaporizer	$pf\\Vaporizer.dll" ] &&
    [ "$(desktop_item 32)" = "Vaporizer	$pf\\x86\\Vaporizer.dll" ]
}

t_x64_downgrade_refused() {
  installed "$version-x64" && return 1
  [ "$(products)" = "$(product "$next" "Program Files/Vaporizer")" ] &&
    msiinfo export "pkgtest/Vaporizer-$version-x64.msi" LaunchCondition |
    grep -q "A newer version of Vaporizer is already installed"
}

# The removal that an upgrade makes on Windows (Wine's msiexec leaves out
# UPGRADINGPRODUCTCODE when it removes the older version).
t_x64_removal_for_upgrade_keeps_settings() {
  win "$pf\\vaporizer.exe" settings --passes 5 >/dev/null || return 1
  cp "Program Files/Vaporizer/vaporizer.exe" pkgtest/ && removed "$next-x64" "UPGRADINGPRODUCTCODE={00000000-0000-0000-0000-000000000001}" || return 1
  [ ! -e "Program Files/Vaporizer" ] && ! registered 64 && ! registered 32 && [ -z "$(products)" ] &&
    [ "$(win 'C:\pkgtest\vaporizer.exe' settings | awk '$1 == "passes" { print $2 }')" = 5 ]
}

t_x64_uninstall_leaves_nothing() {
  installed "$next-x64" || return 1
  # A store with an item stays (its items are the user's); C:'s empty one goes.
  mkdir -p "$prefix/drive-d/Work" && echo kept >"$prefix/drive-d/Work/a.txt"
  win "$pf\\vaporizer.exe" send --yes 'D:\Work\a.txt' >/dev/null && [ -d VAPORIZE ] || return 1
  # The user's scheduled emptying, which would start a program that is gone.
  win "$pf\\vaporizer.exe" retention enable | grep -q "^on: Vaporizer Emptying-S-" || return 1
  removed "$next-x64" && [ -f "$(echo "$prefix"/drive-d/VAPORIZE/S-*/D1.txt)" ] || return 1
  rm -rf "$prefix/drive-d/VAPORIZE" "$prefix/drive-d/Work"
  nothing_left
}

# Where the desktop does not list the folder (a policy that hides desktop
# icons, a system without a desktop), the install completes: registration
# says so as a warning, in the event log (which Wine writes to its debug
# channel "eventlog"), and the uninstall leaves nothing. The Wine server is
# kept for the test's length: the access list that hides the folder lives
# only as long as it does.
t_x64_installs_where_the_desktop_does_not_list_the_folder() {
  local log=$tmp/hidden-install.log
  wineserver -k; timeout 120 wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1 && win "C:\\pkgtest\\probe64.exe" --hide && [ -z "$(desktop_item 64)" ] &&
    [ -z "$(desktop_item 32)" ] || return 1
  WINEDEBUG=warn+eventlog wine msiexec /i "C:\\pkgtest\\Vaporizer-$version-x64.msi" /qn </dev/null >"$log" 2>&1 || return 1
  [ "$(grep -c 'warn:eventlog:.*warning: the desktop does not list the Vaporizer folder' "$log")" = 2 ] &&
    registered 64 && registered 32 && [ -z "$(desktop_item 64)" ] &&
    [ "$(products)" = "$(product "$version" "Program Files/Vaporizer")" ] || return 1
  removed "$version-x64" || return 1
  wineserver -k
  nothing_left
}

# FILEMENU=0 SENDTO=0: the file menu's handler is not registered, and every
# user's settings show both off until the user turns them on. The event
# source names the module; nothing of either stays after removal.
t_x64_install_time_choices() {
  local handler='{5B7C1E2C-8F43-4D6B-9A21-3C7E5F90D1A4}' out file
  msiexec /i "C:\\pkgtest\\Vaporizer-$next-x64.msi" /qn FILEMENU=0 SENDTO=0 || return 1
  win reg query "HKLM\\Software\\Classes\\*\\ShellEx\\ContextMenuHandlers\\$handler" /ve /reg:64 >/dev/null && return 1
  out=$(win "$pf\\vaporizer.exe" settings)
  grep -q "^context-menu *off" <<<"$out" && grep -q "^send-to *off" <<<"$out" || { echo "$out"; return 1; }
  file=$(win reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Vaporizer' /v EventMessageFile |
    sed -n 's/^ *EventMessageFile *REG_EXPAND_SZ *//p')
  [ "$file" = "$pf\\Vaporizer.dll" ] || { echo "message file: $file"; return 1; }
  win "$pf\\vaporizer.exe" settings --context-menu on | grep -q "^context-menu *on" || return 1
  removed "$next-x64" && nothing_left
}

t_x86_installs_and_uninstalls() {
  installed "$version-x86" && registered 32 && [ "$(desktop_item 32)" = "Vaporizer	$pf\\Vaporizer.dll" ] &&
    [ "$(win cmd /c vaporizer --version)" = "vaporizer $version" ] &&
    [ "$(products)" = "$(product "$version" "Program Files/Vaporizer")" ] || return 1
  removed "$version-x86" && nothing_left
}

new_prefix win64
check Msi.X64FailedRegistrationFailsTheInstall t_x64_failed_registration_fails_the_install
check Msi.X64InstallsSilently t_x64_installs_silently
check Msi.X64RegisteredInBothViews t_x64_registered_in_both_views
check Msi.X64ProgramsRun t_x64_programs_run
check Msi.X64RegisterRefusesWhatItCannotLoad t_x64_register_refuses_what_it_cannot_load
check Msi.X64UpgradeInPlace t_x64_upgrade_in_place
check Msi.X64DowngradeRefused t_x64_downgrade_refused
check Msi.X64RemovalForUpgradeKeepsSettings t_x64_removal_for_upgrade_keeps_settings
check Msi.X64UninstallLeavesNothing t_x64_uninstall_leaves_nothing
check Msi.X64InstallsWhereTheDesktopDoesNotListTheFolder t_x64_installs_where_the_desktop_does_not_list_the_folder
check Msi.X64InstallTimeChoices t_x64_install_time_choices
new_prefix win32
check Msi.X86InstallsAndUninstalls t_x86_installs_and_uninstalls
check_summary
