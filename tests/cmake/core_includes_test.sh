#!/usr/bin/env bash
# The build's check of the portable core's includes, run on small trees:
# each line is the include a core file gets, and whether the check passes.
#   tests/cmake/core_includes_test.sh
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
check_prefix=CoreIncludes.
source "$root/tests/support/check.sh"
tree=$(mktemp -d /tmp/vz-includes-XXXXXX)
trap 'rm -rf "$tree"' EXIT

verdict() {  # file, include line; prints pass or fail
  rm -rf "$tree/src"; mkdir -p "$tree/src/store" "$tree/src/window" "$tree/src/engine"
  printf '#include <string>\n#include "common/text.h"\n%b\n' "$2" >"$tree/src/$1"
  cmake -DVZ_SOURCE_DIR="$tree" -P "$root/cmake/check-core-includes.cmake" >/dev/null 2>&1 && echo pass || echo fail
}

t_cases() {
  local file line want got bad=0
  while IFS='|' read -r want file line; do
    got=$(verdict "$file" "$line")
    [ "$got" = "$want" ] || { echo "$file with $line: $got, not $want" >&2; bad=1; }
  done <<'LINES'
pass|store/a.cpp|#include "platform/platform.h"
pass|store/a.h|#include <vector>
pass|engine/a.cpp|#include <nlohmann/json.hpp>
fail|engine/a.cpp|#include <openssl/evp.h>
fail|store/a.cpp|#include <windows.h>
fail|store/a.h|  #  include <shlobj.h>
fail|window/a.cpp|#ifdef _WIN32\n#include <unistd.h>\n#endif
fail|window/a.cpp|#include "window/item_window_win.h"
fail|store/a.cpp|#include "platform/win32/wide.h"
fail|store/a.cpp|#include "handlers/props_dialog_win.h"
pass|window/a_win.cpp|#include <windows.h>
LINES
  return $bad
}

t_the_repository_passes() { cmake -DVZ_SOURCE_DIR="$root" -P "$root/cmake/check-core-includes.cmake"; }

check RulesOnSmallTrees t_cases
check TheRepositoryPasses t_the_repository_passes
check_summary
