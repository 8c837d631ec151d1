# Creates a throwaway Wine prefix for tests and exports WINEPREFIX.
# Drives: c: (the prefix's own), d: a temporary directory (fixed) and e: a
# temporary directory declared "floppy" (removable). z: is removed so that
# nothing is ever created at the host's root. The ANSI code page is 1252.
#   source scripts/lib/wine-prefix.sh; vz_make_prefix; echo "$WINEPREFIX"
vz_make_prefix() {
  local prefix
  prefix=$(mktemp -d /tmp/vz-wine-XXXXXX)
  # Wine takes the ANSI code page from the locale: C.UTF-8 gives
  # Windows-1252, as on a Western system, and UTF-8 arguments and names.
  export LC_ALL=C.UTF-8
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /t REG_SZ /d floppy /f /reg:64 >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Drives' /v 'd:' /t REG_SZ /d hd /f /reg:64 >/dev/null 2>&1
  if [ -z "${VZ_WINE_DISPLAY:-}" ]; then
    # Windows exist and take messages, but nothing is drawn.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f /reg:64 >/dev/null 2>&1
  fi
  # Drive types are read when the server starts.
  wineserver -k; wineserver -w
  mkdir -p "$prefix/drive-d" "$prefix/drive-e"
  rm -f "$prefix/dosdevices/z:" "$prefix/dosdevices/d:" "$prefix/dosdevices/e:"
  ln -s ../drive-d "$prefix/dosdevices/d:"
  ln -s ../drive-e "$prefix/dosdevices/e:"
  touch "$prefix/drive-d/vz-test-drive" "$prefix/drive-e/vz-test-drive"
}
