#!/usr/bin/env bash
# Installs the built library into a scratch prefix, runs the installed tools from there (with
# nothing on the loader path: they find the library by their run path), then builds a small
# program against the library twice: through find_package(nycl CONFIG) and through pkg-config.
set -euo pipefail
build_dir=$1
consumer_src=$2
work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
# The consumer opens the client file cache under $TEMP: keep it in the scratch directory.
export TEMP="$work"

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
bin="$work/prefix/bin"
unset LD_LIBRARY_PATH

if [ -x "$bin/nycl-trace" ]; then
  printf 'fgl_WindowOpen w 5 20 1 1 0 x\nfgl_Bell\n' | "$bin/nycl-trace" - | grep 'W.Bell()' >/dev/null
  "$bin/nycl-server" --help >/dev/null
  if [ -x "$bin/nycl-term" ]; then
    "$bin/nycl-term" --help >/dev/null
    # A whole session between the installed server and the installed terminal host.
    cat >"$work/hello.session" <<'SCRIPT'
send nyinetif:
expect installed
send nyinetif_basic:
handshake 5.0 PCS
start-session
send fgl_WindowOpen SCREEN 24 80 0 0 0 ""
send fgl_DisplayAt 3 5 "Hello from the installed tools" normal
send fgl_MessageBox Installed 0
expect key 1
close
SCRIPT
    "$bin/nycl-server" --script "$work/hello.session" --port-file "$work/port" --timeout 10000 \
      >"$work/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
    echo '<Enter>' | "$bin/nycl-term" --app installed --keys - --cache "$work/term-cache" \
      "127.0.0.1:$(cat "$work/port")" >"$work/screens" 2>"$work/summary"
    grep -q 'Hello from the installed tools' "$work/screens"
    wait "$server_pid"
    server_pid=""
  fi
fi

cmake -S "$consumer_src" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
libdir=$(dirname "$(find "$work/prefix" -name 'libnycl.so' | head -n 1)")
export LD_LIBRARY_PATH="$libdir"
"$work/cmake-build/consumer"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
c++ -std=c++17 "$consumer_src/main.cc" $(pkg-config --cflags --libs nycl) -o "$work/pc-consumer"
"$work/pc-consumer"
