# GoogleTest-style result lines for shell tests, which scripts/test counts.
#   source tests/support/check.sh; check Name command...; ...; check_summary
# Names are shown after $check_prefix when it is set ("Cli." gives Cli.Name).
passed=0 failed=0 failed_names=()

check() {  # name, then a command that must succeed
  local name=${check_prefix:-}$1; shift
  echo "[ RUN      ] $name"
  if "$@"; then
    echo "[       OK ] $name"; passed=$((passed + 1))
  else
    echo "[  FAILED  ] $name"; failed=$((failed + 1)); failed_names+=("$name")
  fi
}

check_summary() {  # exits non-zero when a check failed
  echo "[==========] $((passed + failed)) tests ran."
  [ $passed -gt 0 ] && echo "[  PASSED  ] $passed tests."
  if [ $failed -gt 0 ]; then
    echo "[  FAILED  ] $failed tests, listed below:"
    for n in "${failed_names[@]}"; do echo "[  FAILED  ] $n"; done
    exit 1
  fi
  exit 0
}
