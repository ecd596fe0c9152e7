#!/usr/bin/env bash
# Eight demo sessions at once against one nycl-server, all clients sharing one file cache, run
# NYCL_LOAD_RUNS times (default 20). Each run must lose nothing and corrupt nothing: every
# session passes the server's checks, the cache table lists each file once, and every copy it
# lists holds the server's bytes.
# Usage: concurrent.sh NYCL_TERM NYCL_SERVER DEMO_DIR
set -euo pipefail
term=$1
server=$2
demo=$3
runs=${NYCL_LOAD_RUNS:-20}
sessions=8

work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cache="$work/cache"

fail() {
  echo "run $run: $*" >&2
  exit 1
}

# The cache table: each remote name once, each listed copy equal to the served file.
check_cache() {
  local table="$cache/__Tamrel_Corvath_File_Cache"
  [ -f "$table" ] || fail "no cache table"
  local duplicates
  duplicates=$(grep '^@ ' "$table" | sort | uniq -d)
  [ -z "$duplicates" ] || fail "the cache table lists a file twice: $duplicates"
  local remote="" line local_name
  while IFS= read -r line; do
    case "$line" in
      "@ \""*) remote=${line#@ \"}; remote=${remote%\"} ;;
      "\""*)
        local_name=${line#\"}; local_name=${local_name%%\"*}
        cmp -s "$local_name" "$demo/served/$remote" ||
          fail "the cached copy $local_name of $remote differs from the server's file"
        ;;
    esac
  done <"$table"
  for file in "$demo"/served/*; do
    grep -qxF "@ \"$(basename "$file")\"" "$table" || fail "$(basename "$file") is not cached"
  done
}

for run in $(seq "$runs"); do
  rm -f "$work/port"
  "$server" --script "$demo/custmaint.session" --root "$demo/served" --sessions "$sessions" \
    --port-file "$work/port" --timeout 30000 --accept-timeout 30000 >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 400); do [ -s "$work/port" ] && break; sleep 0.05; done
  [ -s "$work/port" ] || fail "nycl-server did not start: $(cat "$work/server.log")"
  port=$(cat "$work/port")

  clients=()
  for i in $(seq "$sessions"); do
    "$term" --app custmaint --keys "$demo/custmaint.keys" --cache "$cache" \
      --idle-timeout 30000 "127.0.0.1:$port" >"$work/screens-$i" 2>"$work/summary-$i" &
    clients+=($!)
  done
  for i in "${!clients[@]}"; do
    wait "${clients[$i]}" || fail "client $((i + 1)) failed: $(cat "$work/summary-$((i + 1))")"
  done
  status=0
  wait "$server_pid" || status=$?
  server_pid=""
  [ "$status" -eq 0 ] || fail "nycl-server saw a wrong answer: $(cat "$work/server.log")"
  for i in $(seq 2 "$sessions"); do
    cmp -s "$work/screens-1" "$work/screens-$i" || fail "client $i saw other screens than client 1"
  done
  check_cache
done
echo "$runs runs of $sessions concurrent sessions: every session passed, the cache is consistent"
