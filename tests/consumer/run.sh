#!/bin/sh
# Installs the build into a fresh prefix, then builds a program against that
# prefix only and runs it. One check per mode:
#   cmake   the C++ consumer through find_package and through pkg-config, and the
#           converter's files in the prefix (the default)
#   c       the C99 consumer, pedantic, warnings as errors
#   abi0    the C++ consumer with the old std::string layout (_GLIBCXX_USE_CXX11_ABI=0)
#   libcxx  the C++ consumer with clang++ and libc++
#   python  the installed Python module, through python_check.py
# A mode whose tool is missing exits 77 (skipped) and says why.
# usage: run.sh BUILD_DIR [MODE]
set -eu
build="$1"; mode="${2:-cmake}"; source_dir="$(cd "$(dirname "$0")" && pwd)"
skip() { echo "skipped: $*"; exit 77; }
case "$mode" in
  cmake | c | abi0) ;;
  libcxx)
    command -v clang++ >/dev/null 2>&1 || skip "no clang++ (Debian package clang)"
    printf '#include <string>\nint main() { return std::string("x").size() == 1 ? 0 : 1; }\n' |
      clang++ -std=c++17 -stdlib=libc++ -x c++ - -o /dev/null >/dev/null 2>&1 ||
      skip "clang++ cannot build with libc++ (Debian package libc++-dev)" ;;
  python)
    command -v python3 >/dev/null 2>&1 || skip "no python3"
    python3 -c 'import ctypes' 2>/dev/null || skip "python3 has no ctypes" ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac

work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
lib="$(dirname "$(find "$work/prefix" -name 'libvarnel.so' | head -1)")"
export PKG_CONFIG_PATH="$lib/pkgconfig"
mkdir "$work/data"

check_linkage() {  # the program must take libvarnel from the prefix, never the build tree
  ldd "$1" | grep libvarnel
  ldd "$1" | grep -q "$lib/libvarnel.so" || { echo "not linked against the prefix"; exit 1; }
  ! ldd "$1" | grep -q "$build" || { echo "linked into the build tree"; exit 1; }
}

case "$mode" in
  cmake)
    cmake -S "$source_dir" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
    cmake --build "$work/cmake-build" >/dev/null
    check_linkage "$work/cmake-build/consumer"
    mkdir "$work/data1" && "$work/cmake-build/consumer" "$work/data1"

    c++ -std=c++17 "$source_dir/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs varnel) -Wl,-rpath,"$lib"
    check_linkage "$work/pc-consumer"
    mkdir "$work/data2" && "$work/pc-consumer" "$work/data2"

    test -x "$work/prefix/bin/corvane"
    test -f "$work/prefix/share/man/man1/corvane.1"
    MANWIDTH=80 man --warnings -l "$work/prefix/share/man/man1/corvane.1" 2>&1 >/dev/null | (! grep .)
    ;;
  c)
    cc -std=c99 -Wall -Wextra -pedantic -Werror "$source_dir/c_consumer.c" -o "$work/c-consumer" \
      $(pkg-config --cflags --libs varnel) -Wl,-rpath,"$lib"
    check_linkage "$work/c-consumer"
    "$work/c-consumer" "$work/data"
    ;;
  abi0)
    c++ -std=c++17 -D_GLIBCXX_USE_CXX11_ABI=0 -Wall -Wextra -Werror "$source_dir/main.cpp" -o "$work/abi0-consumer" \
      $(pkg-config --cflags --libs varnel) -Wl,-rpath,"$lib"
    # The old layout took: the program's strings are not the library's.
    ! nm -C "$work/abi0-consumer" | grep -q '__cxx11' || { echo "built with the new string layout"; exit 1; }
    check_linkage "$work/abi0-consumer"
    "$work/abi0-consumer" "$work/data"
    ;;
  libcxx)
    clang++ -std=c++17 -stdlib=libc++ -Wall -Wextra -Werror "$source_dir/main.cpp" -o "$work/libcxx-consumer" \
      $(pkg-config --cflags --libs varnel) -Wl,-rpath,"$lib"
    ldd "$work/libcxx-consumer" | grep -q 'libc++\.so' || { echo "not linked against libc++"; exit 1; }
    check_linkage "$work/libcxx-consumer"
    "$work/libcxx-consumer" "$work/data"
    ;;
  python)
    module="$(find "$work/prefix" -name varnel.py | head -1)"
    test -n "$module" || { echo "no varnel.py in the prefix"; exit 1; }
    PYTHONPATH="$(dirname "$module")" python3 -B "$source_dir/python_check.py" "$work/data" | tee "$work/python.log"
    grep -q "through $work/prefix/" "$work/python.log" || { echo "the module did not take the prefix's library"; exit 1; }
    ;;
esac
echo "$mode consumer builds and runs against $work/prefix"
