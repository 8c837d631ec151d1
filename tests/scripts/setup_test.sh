#!/usr/bin/env bash
# The set-up against a double of the package tools (apt-get, apt-cache,
# dpkg, dpkg-query): list refreshes that fail as a mirror caught mid-sync
# makes them fail, packages that cannot be had, a second run.
#   tests/scripts/setup_test.sh
# Prints GoogleTest-style result lines.
set -u
check_prefix=Setup.
source "$(dirname "$0")/../support/check.sh"
setup=$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup
tmp=$(mktemp -d /tmp/vz-setup-XXXXXX)
trap '[ -n "${VZ_KEEP:-}" ] || rm -rf "$tmp"' EXIT

# The double keeps its state in files: which packages are installed, how
# many refreshes still fail, which packages cannot be installed (and which
# only with the release's own suite), and a log of every call.
mkdir -p "$tmp/bin"
cat >"$tmp/bin/apt-get" <<'EOF'
#!/bin/bash
echo "apt-get $*" >>"$VZ_FAKE/calls"
case " $* " in
  *" update "*)
    n=$(cat "$VZ_FAKE/update-failures" 2>/dev/null || echo 0)
    if [ "$n" -gt 0 ]; then
      echo $((n - 1)) >"$VZ_FAKE/update-failures"
      echo "E: Failed to fetch http://mirror.test/debian-security/dists/x/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    exit 0 ;;
esac
pkgs=() suite=no
for a in "$@"; do
  case "$a" in
    -t) suite=yes ;;
    -*|install|bookworm) ;;
    *=*) ;;
    *) pkgs+=("$a") ;;
  esac
done
for p in "${pkgs[@]}"; do
  if grep -qxF "$p" "$VZ_FAKE/broken" 2>/dev/null ||
     { grep -qxF "$p" "$VZ_FAKE/skewed" 2>/dev/null && [ $suite = no ]; }; then
    echo " $p : Depends: libz:i386 but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
  fi
done
printf '%s\n' "${pkgs[@]}" >>"$VZ_FAKE/installed"
EOF
cat >"$tmp/bin/dpkg-query" <<'EOF'
#!/bin/bash
p=${!#}
case "$*" in
  *Status*) grep -qxF "$p" "$VZ_FAKE/installed" 2>/dev/null && echo "install ok installed" ;;
  *) exit 1 ;;
esac
EOF
cat >"$tmp/bin/dpkg" <<'EOF'
#!/bin/bash
echo "dpkg $*" >>"$VZ_FAKE/calls"
[ "$1" = --print-foreign-architectures ] && cat "$VZ_FAKE/arches" 2>/dev/null
[ "$1" = --add-architecture ] && echo "$2" >>"$VZ_FAKE/arches"
exit 0
EOF
printf '#!/bin/bash\nexit 0\n' >"$tmp/bin/apt-cache"
printf '#!/bin/bash\nexit 0\n' >"$tmp/bin/sleep"
chmod +x "$tmp/bin"/*

# One machine a case: the double's state, then the set-up with the groups
# given; its output in $out, its status in $rc.
machine() {
  export VZ_FAKE=$tmp/m$RANDOM
  mkdir -p "$VZ_FAKE"
  echo "${1:-0}" >"$VZ_FAKE/update-failures"
  printf '%s\n' ${2:-} >"$VZ_FAKE/broken"
  printf '%s\n' ${3:-} >"$VZ_FAKE/skewed"
}
run_setup() {
  out=$(PATH="$tmp/bin:$PATH" VZ_SETUP_PAUSE=0 bash "$setup" "$@" 2>&1); rc=$?
}
is_installed() { grep -qxF "$1" "$VZ_FAKE/installed"; }
calls() { grep -c "$1" "$VZ_FAKE/calls" 2>/dev/null; }

t_refreshes_retried_then_installed() {
  machine 2
  run_setup program
  [ $rc -eq 0 ] && [ "$(calls 'apt-get.* update')" -eq 3 ] && is_installed cmake && is_installed libssl-dev
}

t_goes_on_with_the_lists_there_are() {
  machine 99
  run_setup program
  [ $rc -eq 0 ] && [ "$(calls 'apt-get.* update')" -eq 3 ] && is_installed cmake &&
    grep -q "going on with the lists there are" <<<"$out" && grep -q "binary-i386/Packages.xz" <<<"$out"
}

t_a_package_that_cannot_be_had_is_named() {
  machine 99 "wine32:i386"
  run_setup wine
  [ $rc -ne 0 ] && is_installed wine64 && ! is_installed wine32:i386 &&
    grep -q "cannot install wine32:i386" <<<"$out" &&
    grep -q "retry later: the mirror is being updated" <<<"$out" &&
    grep -q "not going to be installed" <<<"$out" &&
    grep -qx i386 "$VZ_FAKE/arches"
}

t_versions_both_architectures_have() {
  machine 99 "" "wine32:i386"
  run_setup wine
  [ $rc -eq 0 ] && is_installed wine32:i386 && grep -q "apt-get.*--allow-downgrades.*wine32:i386" "$VZ_FAKE/calls"
}

t_an_optional_tool_is_named_and_left_out() {
  machine 0 "f2fs-tools nilfs-tools"
  run_setup tests
  [ $rc -eq 0 ] && is_installed clang && ! is_installed f2fs-tools &&
    grep -q "optional, not installed.*f2fs-tools nilfs-tools" <<<"$out"
}

t_a_second_run_changes_nothing() {
  machine 1
  run_setup program package || true
  : >"$VZ_FAKE/calls"
  run_setup program package
  [ $rc -eq 0 ] && [ ! -s "$VZ_FAKE/calls" ] && [ -z "$out" ]
}

t_each_command_asks_for_its_own() {
  machine 0
  run_setup program
  is_installed cmake && ! is_installed wine64 && ! is_installed libgtest-dev && ! is_installed wixl || return 1
  run_setup bogus
  [ $rc -eq 2 ] && grep -q "unknown group 'bogus'" <<<"$out"
}

check RefreshesThatFailAreRetriedThenPackagesInstalled t_refreshes_retried_then_installed
check ARefreshThatKeepsFailingGoesOnWithTheListsThereAre t_goes_on_with_the_lists_there_are
check APackageThatCannotBeHadStopsWithItsNameCauseAndWayOut t_a_package_that_cannot_be_had_is_named
check A32BitPackageTakesTheVersionsBothArchitecturesHave t_versions_both_architectures_have
check AnOptionalToolThatCannotBeHadIsNamedAndLeftOut t_an_optional_tool_is_named_and_left_out
check ASecondRunChangesNothing t_a_second_run_changes_nothing
check EachCommandInstallsOnlyItsOwnGroups t_each_command_asks_for_its_own
check_summary
