# Creates a throwaway Wine prefix for tests and exports WINEPREFIX.
# Drives: c: (the prefix's own), d: a temporary directory (fixed) and e: a
# temporary directory declared "floppy" (removable). z: is removed so that
# nothing is ever created at the host's root. The ANSI code page is 1252.
#   source scripts/lib/wine-prefix.sh; vz_make_prefix; echo "$WINEPREFIX"
vz_make_prefix() {
  local prefix key template
  # Wine takes the ANSI code page from the locale: C.UTF-8 gives
  # Windows-1252, as on a Western system, and UTF-8 arguments and names.
  export LC_ALL=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  prefix=$(mktemp -d /tmp/vz-wine-XXXXXX)
  # Making a prefix costs Wine many seconds of work; one made the same way
  # by the same Wine is copied instead, from a template kept in the build
  # folder (made once, under a lock, by whichever run needs it first).
  key=$({ wine --version; echo "${WINEARCH:-}:${VZ_WINE_DISPLAY:-}"; declare -f vz_fill_prefix; } 2>/dev/null | sha256sum | cut -c1-16)
  template="${VZ_BUILD_ROOT:-/tmp}/wine-templates/$key"
  if mkdir -p "${template%/*}" 2>/dev/null; then
    (
      flock 9
      if [ ! -f "$template/.made" ]; then
        rm -rf "$template"; mkdir -p "$template"
        WINEPREFIX=$template vz_fill_prefix && touch "$template/.made"
      fi
    ) 9>"$template.lock"
  fi
  # Wine's own programs and libraries (most of a prefix's gigabyte) are
  # linked, as Wine only reads them; every other file is a copy of its own.
  if [ -f "$template/.made" ] && cp -al "$template/." "$prefix/" &&
     find "$prefix" -type f -links +1 ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
       -o -iname '*.nls' -o -iname '*.ocx' -o -iname '*.acm' -o -iname '*.cpl' -o -iname '*.tlb' -o -iname '*.ttf' \) \
       -exec sh -c 'for f; do cp -p "$f" "$f.own" && mv -f "$f.own" "$f" || exit 1; done' sh {} +; then
    rm -f "$prefix/.made"
  else
    WINEPREFIX=$prefix vz_fill_prefix
  fi
  export WINEPREFIX=$prefix
}

# Fills WINEPREFIX with a new prefix and its test drives; no server of it
# is left running.
vz_fill_prefix() {
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Drives' /v 'e:' /t REG_SZ /d floppy /f /reg:64 >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Drives' /v 'd:' /t REG_SZ /d hd /f /reg:64 >/dev/null 2>&1
  if [ -z "${VZ_WINE_DISPLAY:-}" ]; then
    # Windows exist and take messages, but nothing is drawn.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f /reg:64 >/dev/null 2>&1
  fi
  # Drive types are read when the server starts.
  wineserver -k; wineserver -w
  mkdir -p "$WINEPREFIX/drive-d" "$WINEPREFIX/drive-e"
  rm -f "$WINEPREFIX/dosdevices/z:" "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/e:"
  ln -s ../drive-d "$WINEPREFIX/dosdevices/d:"
  ln -s ../drive-e "$WINEPREFIX/dosdevices/e:"
  touch "$WINEPREFIX/drive-d/vz-test-drive" "$WINEPREFIX/drive-e/vz-test-drive"
}
