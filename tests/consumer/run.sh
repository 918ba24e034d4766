#!/bin/sh
# Installs the build into a fresh prefix, then builds the consumer against that
# prefix only, once through find_package and once through pkg-config, and runs it.
set -eu
build="$1"; source_dir="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
lib="$(dirname "$(find "$work/prefix" -name 'libvarnel.so' | head -1)")"

check_linkage() {  # the program must take libvarnel from the prefix, never the build tree
  ldd "$1" | grep libvarnel
  ldd "$1" | grep -q "$lib/libvarnel.so" || { echo "not linked against the prefix"; exit 1; }
  ! ldd "$1" | grep -q "$build" || { echo "linked into the build tree"; exit 1; }
}

cmake -S "$source_dir" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
check_linkage "$work/cmake-build/consumer"
mkdir "$work/data1" && "$work/cmake-build/consumer" "$work/data1"

export PKG_CONFIG_PATH="$lib/pkgconfig"
c++ -std=c++17 "$source_dir/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs varnel) -Wl,-rpath,"$lib"
check_linkage "$work/pc-consumer"
mkdir "$work/data2" && "$work/pc-consumer" "$work/data2"

test -x "$work/prefix/bin/corvane"
test -f "$work/prefix/share/man/man1/corvane.1"
MANWIDTH=80 man --warnings -l "$work/prefix/share/man/man1/corvane.1" 2>&1 >/dev/null | (! grep .)
echo "consumer builds and runs against $work/prefix"
