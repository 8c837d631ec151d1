# GoogleTest-style result lines for shell tests, which scripts/test counts.
#   source tests/support/check.sh; check Name command...; ...; check_summary
# Names are shown after $check_prefix when it is set ("Cli." gives Cli.Name).
# A check decided in steps of the caller's own ends with check_result; its
# reason is printed after $check_tag.
passed=0 failed=0 skipped=0 failed_names=()

check() {  # name, then a command that must succeed; VZ_CHECK picks by pattern
  local name=${check_prefix:-}$1; shift
  [[ -n ${VZ_CHECK:-} && ! $name =~ $VZ_CHECK ]] && return 0
  echo "[ RUN      ] $name"
  local started=$SECONDS trace ok=0
  # The steps are traced aside, so that a failure names the step it failed at.
  trace=$(mktemp)
  exec {BASH_XTRACEFD}>"$trace"
  set -x
  "$@" && ok=1
  { set +x; } 2>/dev/null
  unset BASH_XTRACEFD
  if [ "$ok" = 1 ]; then
    echo "[       OK ] $name ($((SECONDS - started)) s)"; passed=$((passed + 1))
  else
    echo "${check_tag:-check}: $name: failed after:"
    grep -v '^+* set +x$' "$trace" | tail -n 5 | cut -c1-240 | sed 's/^/  /'
    echo "[  FAILED  ] $name ($((SECONDS - started)) s)"; failed=$((failed + 1)); failed_names+=("$name")
  fi
  rm -f "$trace"
}

check_result() {  # name, ok|fail|skip, reason (after the name's RUN line)
  local name=${check_prefix:-}$1
  case "$2" in
    ok) echo "[       OK ] $name"; passed=$((passed + 1)) ;;
    skip) echo "${check_tag:-check}: skipped: $1: $3"; echo "[  SKIPPED ] $name"; skipped=$((skipped + 1)) ;;
    *) echo "${check_tag:-check}: $1: $3"; echo "[  FAILED  ] $name"; failed=$((failed + 1)); failed_names+=("$name") ;;
  esac
}

check_summary() {  # exits non-zero when a check failed
  echo "[==========] $((passed + failed + skipped)) tests ran."
  [ $passed -gt 0 ] && echo "[  PASSED  ] $passed tests."
  [ $skipped -gt 0 ] && echo "[  SKIPPED ] $skipped tests."
  if [ $failed -gt 0 ]; then
    echo "[  FAILED  ] $failed tests, listed below:"
    for n in "${failed_names[@]}"; do echo "[  FAILED  ] $n"; done
    exit 1
  fi
  exit 0
}
