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
  for f in ./usr/bin/vaporizer ./usr/share/man/man1/vaporizer.1.gz ./usr/share/bash-completion/completions/vaporizer; do
    grep -qx "$f" <<<"$files" || { echo "missing: $f"; return 1; }
  done
  [ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = \
    "Package: vaporizer Version: $version Architecture: amd64 " ] && dpkg-deb -f "$deb" Depends | grep -q libc6
}

t_deb_program_runs() {
  dpkg-deb -x "$deb" "$tmp/deb" && [ "$("$exe" --version)" = "vaporizer $version" ]
}

t_deb_manual_page() {
  local page
  page=$(MANWIDTH=120 man -l "$tmp/deb/usr/share/man/man1/vaporizer.1.gz" 2>/dev/null) || return 1
  grep -q "^NAME" <<<"$page" && grep -q "vaporizer - the Vaporizer secure-deletion bin" <<<"$page" &&
    grep -q "send files and folders to the Vaporizer" <<<"$page" && grep -q "vaporizer $version" <<<"$page" &&
    grep -q "^COMMANDS" <<<"$page" && grep -q "answer Yes to the caution question" <<<"$page"
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
    [ "$(completions send "$tmp/rep")" = "$tmp/report.txt" ]
}

check Deb.Contents t_deb_contents
check Deb.ProgramRuns t_deb_program_runs
check Deb.ManualPage t_deb_manual_page
check Deb.BashCompletion t_deb_bash_completion

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
  snapshot | sort >"$tmp/before"
}
mkdir "$tmp/pkgtest"
cp "$dist"/*.msi "$tmp/pkgtest/"
cp "$build/win64/tests/vz_desktop_probe.exe" "$tmp/pkgtest/probe64.exe"
cp "$build/win32/tests/vz_desktop_probe.exe" "$tmp/pkgtest/probe32.exe"
"$root/packaging/windows/make-msi" x64 "$next" "$tmp/pkgtest/Vaporizer-$next-x64.msi" "$build/win64" "$build/win32"
# An installer whose 32-bit module is a program without the registration
# export: its registration fails after the 64-bit one succeeded.
mkdir "$tmp/broken32" && cp "$build/win32/vaporizer.exe" "$tmp/broken32/" &&
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
  for f in vaporizer.exe Vaporizer.dll x86/vaporizer.exe x86/Vaporizer.dll; do
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
  removed "$next-x64" && [ -f "$(echo "$prefix"/drive-d/VAPORIZE/S-*/D1.txt)" ] || return 1
  rm -rf "$prefix/drive-d/VAPORIZE" "$prefix/drive-d/Work"
  nothing_left
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
new_prefix win32
check Msi.X86InstallsAndUninstalls t_x86_installs_and_uninstalls
check_summary
