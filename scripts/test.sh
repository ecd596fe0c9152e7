#!/usr/bin/env bash
# Sets up a fresh Debian machine, then builds nycl and runs every test twice: once in a plain
# build, once under AddressSanitizer and UndefinedBehaviorSanitizer. Also checks formatting,
# and builds the fuzz targets with clang and runs each for a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)

echo "== formatting"
git ls-files -z -- '*.h' '*.cc' | xargs -0 -r clang-format --dry-run -Werror

echo "== build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNYCL_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build and test under sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNYCL_WERROR=ON -DNYCL_SANITIZE=ON \
      -DNYCL_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
# The package test installs and links a separate program; it belongs to the plain build only.
# The concurrent-sessions load test runs 3 times here instead of 20: the plain build ran it fully.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 NYCL_LOAD_RUNS=3 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE package

echo "== fuzz targets: clang build, a short run of each"
fuzz_work=$(mktemp -d)
NYCL_FUZZ_WORK="$fuzz_work" NYCL_FUZZ_BUILD_JOBS="$jobs" \
  bash scripts/fuzz.sh "${NYCL_FUZZ_SMOKE_SECONDS:-10}"
rm -rf "$fuzz_work"
