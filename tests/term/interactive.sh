#!/usr/bin/env bash
# nycl-term in a real terminal: tmux runs it against nycl-server playing the demo program,
# send-keys types and capture-pane reads the screen. The login prompts, the form (its labels
# come from the form the client received) and the message box must appear; nycl-server
# checking every answer proves that the keys reached the server. Then a server that closes
# the connection while the program waits for the user: the screen must say so.
#   interactive.sh NYCL-TERM NYCL-SERVER DEMO-DIR
set -euo pipefail
term=$1
server=$2
demo=$3
work=$(mktemp -d)
socket="nycl-term-test-$$"
server_pid=""
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$server" --script "$demo/custmaint.session" --root "$demo/served" --port-file "$work/port" \
  --timeout 20000 >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")

tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 30 \
  "$term --app custmaint --cache $work/cache 127.0.0.1:$port 2>$work/summary; echo \$? >$work/status; sleep 60"

screen() { tmux -L "$socket" capture-pane -p; }
# Waits up to 10 s until the screen shows TEXT.
wait_for() {
  for _ in $(seq 200); do
    if screen | grep -qF -- "$1"; then return 0; fi
    sleep 0.05
  done
  echo "FAIL: the screen never showed \"$1\"; it shows:"
  screen
  echo "nycl-server said:"
  cat "$work/server.log"
  exit 1
}
keys() { tmux -L "$socket" send-keys "$@"; }

wait_for "User name:"
keys ann Enter
wait_for "Password:"
keys secret Enter
wait_for "Customer no.: [1042    ]"
wait_for "[Query]"
keys u
wait_for "F5 Save"
keys BSpace BSpace BSpace BSpace Daughters Tab Boston F5
wait_for "Save the changes?"
wait_for "[Yes]"
keys y
wait_for "Customer 1042 saved."
keys o
wait_for "A-7802"
keys Down Enter
wait_for "Order A-7802 was sent to the printer."
keys Enter

for _ in $(seq 200); do [ -s "$work/status" ] && break; sleep 0.05; done
status=$(cat "$work/status" 2>/dev/null || echo none)
server_status=0
wait "$server_pid" || server_status=$?
server_pid=""
if [ "$server_status" != 0 ] || [ "$status" != 0 ]; then
  echo "FAIL: nycl-server exited with $server_status, nycl-term with $status"
  cat "$work/server.log" "$work/summary" 2>/dev/null
  exit 1
fi
grep -q "nycl-server: session 1 passed" "$work/server.log"
tmux -L "$socket" kill-server

cat >"$work/gone.session" <<'SCRIPT'
send nyinetif:
expect custmaint
send nyinetif_basic:
handshake 5.0 PCS
start-session
send fgl_WindowOpen SCREEN 24 80 0 0 0 ""
send fgl_DisplayAt 5 5 "Waiting for you" normal
send fgl_Wait
close
SCRIPT
rm -f "$work/port" "$work/status"
"$server" --script "$work/gone.session" --port-file "$work/port" --timeout 20000 \
  >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 30 \
  "$term --app custmaint --cache $work/cache 127.0.0.1:$(cat "$work/port") 2>$work/summary; echo \$? >$work/status; sleep 60"
wait_for "Waiting for you"
wait_for "(press a key) the server closed the connection during a wait for the user"
keys Enter
for _ in $(seq 200); do [ -s "$work/status" ] && break; sleep 0.05; done
if [ "$(cat "$work/status" 2>/dev/null)" != 1 ]; then
  echo "FAIL: nycl-term exited with $(cat "$work/status" 2>/dev/null || echo nothing), not 1"
  exit 1
fi
echo "passed: the form and the message box appeared, the server accepted every answer, and a"
echo "server gone in the middle of a wait was shown"
