#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds a small program against it
# twice: through find_package(nycl CONFIG) and through pkg-config.
set -euo pipefail
build_dir=$1
consumer_src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The consumer opens the client file cache under $TEMP: keep it in the scratch directory.
export TEMP="$work"

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null

cmake -S "$consumer_src" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
libdir=$(dirname "$(find "$work/prefix" -name 'libnycl.so' | head -n 1)")
export LD_LIBRARY_PATH="$libdir:${LD_LIBRARY_PATH:-}"
"$work/cmake-build/consumer"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
c++ -std=c++17 "$consumer_src/main.cc" $(pkg-config --cflags --libs nycl) -o "$work/pc-consumer"
"$work/pc-consumer"
