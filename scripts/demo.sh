#!/usr/bin/env bash
# The main job, live: builds nycl, starts nycl-server with the demo program (customer
# maintenance over TLS and compression, its forms served from examples/demo/served) on a free
# loopback port, and runs nycl-term against it. Headless (the default) the keys come from
# examples/demo/custmaint.keys and every screen at which the program waits for the user is
# printed, then a summary; the session then runs a second time on the same client cache, which
# now holds the program's files. Exits non-zero when the server saw a wrong answer.
#
#   scripts/demo.sh                  the headless session, twice
#   scripts/demo.sh --interactive    the same session in this terminal, your keys
set -euo pipefail
cd "$(dirname "$0")/.."
mode=headless
case "${1:-}" in
  "") ;;
  --interactive) mode=interactive ;;
  *) echo "usage: scripts/demo.sh [--interactive]" >&2; exit 2 ;;
esac

bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target nycl-term nycl-server >/dev/null

demo=examples/demo
term=build/tools/nycl-term/nycl-term
work=$(mktemp -d)
# The client's cache stays in the build folder for a look afterwards; each demo starts it anew.
cache=build/demo-cache
rm -rf "$cache"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Starts nycl-server on the demo program; waits until it listens. $1: how long it waits for
# each answer (ms).
start_server() {
  rm -f "$work/port"
  build/tools/nycl-server/nycl-server --script "$demo/custmaint.session" --root "$demo/served" \
    --port-file "$work/port" --timeout "$1" >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
  port=$(cat "$work/port")
}

# Waits for the server; fails the demo when it saw a wrong answer.
check_server() {
  local status=0
  wait "$server_pid" || status=$?
  server_pid=""
  if [ "$status" -ne 0 ]; then
    echo "== nycl-server did not accept the session:"
    grep -v "listening on" "$work/server.log"
    exit 1
  fi
  echo "== nycl-server: the session passed (it checked every answer the client sent)"
}

# Runs the session headless: its screens go to $work/screens-$1, its summary to
# $work/summary-$1.
run_headless() {
  "$term" --app custmaint --keys "$demo/custmaint.keys" --cache "$cache" \
    "127.0.0.1:$port" >"$work/screens-$1" 2>"$work/summary-$1" || true
}

if [ "$mode" = interactive ]; then
  start_server 600000
  echo "nycl-term will connect to nycl-server on 127.0.0.1:$port. The keys the demo script types:"
  grep -v '^#' "$demo/custmaint.keys" | sed 's/^/    /'
  echo "Another answer than these makes the server stop the session."
  if [ -t 0 ]; then read -r -p "Press Enter to start. " _; fi
  "$term" --app custmaint --cache "$cache" "127.0.0.1:$port" || true
  check_server
  exit 0
fi

start_server 10000
echo "== nycl-server plays $demo/custmaint.session on 127.0.0.1:$port (TLS and compression)"
echo "== nycl-term runs it headless with the keys of $demo/custmaint.keys; the screens:"
echo
run_headless 1
cat "$work/screens-1"
echo
cat "$work/summary-1"
check_server

echo
echo "== the same session again, on the same client cache:"
start_server 10000
run_headless 2
if cmp -s "$work/screens-1" "$work/screens-2"; then
  echo "   (the same screens as the first time)"
else
  diff -u "$work/screens-1" "$work/screens-2" || true
fi
cat "$work/summary-2"
check_server
