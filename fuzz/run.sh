#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one, two at a time.
#   fuzz/run.sh [seconds per target, default 60] [targets...]
# Each run starts from the seeds in fuzz/corpus/<target> plus what earlier
# runs in the same build folder found ($VZ_BUILD_ROOT/fuzz/corpus). An input
# that breaks a target is kept in $VZ_BUILD_ROOT/fuzz/found/<target>/; run
# the target on that file alone to see it again. Prints GoogleTest-style
# result lines.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(index path_buffer item_id name_map kvstore)
jobs=${VZ_FUZZ_JOBS:-2}
out="${VZ_BUILD_ROOT:-$root/build}/fuzz"

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing (scripts/setup installs it)" >&2
  exit 1
fi
if [ ! -f "$out/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$root/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >"$out.log" 2>&1 ||
    { tail -n 20 "$out.log" >&2; exit 1; }
fi
CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1 cmake --build "$out" -- -j"$(nproc)" >>"$out.log" 2>&1 || { tail -n 40 "$out.log" >&2; echo "fuzz: build failed" >&2; exit 1; }

run_one() {
  local t=$1 corpus="$out/corpus/$t" log="$out/$t.log" found="$out/found/$t"
  mkdir -p "$corpus" "$found"
  rm -f "$found"/*
  (cd "$out" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ./fuzz_"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$found/" "$corpus" "$root/fuzz/corpus/$t" >"$log" 2>&1)
  echo $? >"$out/$t.rc"
}

passed=0 failed=0 running=0
for t in "${targets[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then wait -n; running=$((running - 1)); fi
done
wait

for t in "${targets[@]}"; do
  rc=$(cat "$out/$t.rc" 2>/dev/null || echo 1)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t.log" | tail -n1)
  echo "[ RUN      ] Fuzz.$t"
  if [ "$rc" -eq 0 ]; then
    echo "[       OK ] Fuzz.$t (${runs:-?} inputs in ${seconds} s)"
    passed=$((passed + 1))
  else
    grep -E "property broken|ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error" "$out/$t.log" | head -n 5
    ls "$out/found/$t"/* 2>/dev/null | sed 's/^/  input kept: /'
    echo "[  FAILED  ] Fuzz.$t (see $out/$t.log)"
    failed=$((failed + 1))
  fi
done
echo "[  PASSED  ] $passed tests."
[ "$failed" -eq 0 ] || echo "[  FAILED  ] $failed tests, listed above"
[ "$failed" -eq 0 ]
