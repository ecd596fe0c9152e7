#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 180), one after the other.
#
#   scripts/fuzz.sh [--keep] [SECONDS] [TARGET...]
#
# Each target starts from its seed corpus in fuzz/corpus/<target>. New inputs go to
# $NYCL_FUZZ_WORK/corpus/<target> (default /tmp/nycl-fuzz-work), outside the repository;
# with --keep they are merged into fuzz/corpus/<target> at the end, only those that add
# coverage. A crash, leak, timeout or memory blow-up stops that target; its input is left in
# $NYCL_FUZZ_WORK/findings/<target>/ and listed at the end, and the script exits with 1.
# To keep a finding as a regression, copy the input to fuzz/regressions/<target>/ and fix
# the fault: the normal test suite replays that directory.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

keep=0
seconds=180
targets=()
for arg in "$@"; do
  case "$arg" in
    --keep) keep=1 ;;
    ''|*[!0-9]*) targets+=("$arg") ;;
    *) seconds=$arg ;;
  esac
done
# Every fuzz/<name>.cc but the support files is a target.
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cc; do
    name=$(basename "$source" .cc)
    case "$name" in FuzzSupport|ReplayMain) ;; *) targets+=("$name") ;; esac
  done
fi

work=${NYCL_FUZZ_WORK:-/tmp/nycl-fuzz-work}
build=${NYCL_FUZZ_BUILD:-build-fuzz}

echo "== fuzz build ($build)"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNYCL_FUZZ=ON -DNYCL_WERROR=ON -DNYCL_BUILD_TESTS=OFF -DNYCL_BUILD_TOOLS=OFF \
  -DNYCL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${NYCL_FUZZ_BUILD_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

# Dictionaries by target; the others go without.
dictionary() {
  case "$1" in
    command|transfer) echo "$root/fuzz/dict/protocol.dict" ;;
    *) [ -f "$root/fuzz/dict/$1.dict" ] && echo "$root/fuzz/dict/$1.dict" ;;
  esac
}

failed=()
summary=()
for target in "${targets[@]}"; do
  corpus="$work/corpus/$target"
  findings="$work/findings/$target"
  mkdir -p "$corpus" "$findings"
  args=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -print_final_stats=1
        -artifact_prefix="$findings/")
  dict=$(dictionary "$target" || true)
  [ -n "$dict" ] && args+=(-dict="$dict")
  log="$work/$target.log"
  echo "== fuzz $target for ${seconds}s (log: $log)"
  status=0
  # Paths are absolute: some targets change their working directory when they start.
  "$root/$build/fuzz/fuzz_$target" "${args[@]}" "$corpus" "$root/fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  summary+=("$(printf '%-12s %12s executions  %s' "$target" "${execs:-?}" "${cov:-}")")
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    echo "!! $target stopped with status $status:"
    grep -E 'ERROR|SUMMARY|property does not hold|Test unit written' "$log" | head -8 || true
  fi
  if [ "$keep" -eq 1 ]; then
    "$root/$build/fuzz/fuzz_$target" -merge=1 "$root/fuzz/corpus/$target" "$corpus" \
      >>"$log" 2>&1 || true
  fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "findings in: ${failed[*]}"
  for target in "${failed[@]}"; do ls -1 "$work/findings/$target"/* 2>/dev/null || true; done
  exit 1
fi
