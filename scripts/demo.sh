#!/usr/bin/env bash
# Builds nycl and shows what it offers. (The protocol trace tool takes over this script
# once the command interpreter is in place.)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
echo "libnycl built: $(ls build/libnycl.so*)"
echo "public headers:"
(cd include && find nycl -name '*.h' | sort | sed 's/^/  /')
