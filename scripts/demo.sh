#!/usr/bin/env bash
# Builds nycl-trace and runs it on the example transcript: every protocol line of a short
# customer-maintenance session, followed by the host calls it causes and the answers it sends.
# Pass another transcript as the first argument to trace that one instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target nycl-trace >/dev/null
transcript="${1:-examples/customer-session.txt}"
echo "== nycl-trace $transcript"
echo "   (>> line from the server, indented: calls on the host, << answer to the server)"
build/tools/nycl-trace/nycl-trace "$transcript"
