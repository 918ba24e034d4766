#!/bin/sh
# Makes the Debian package from the build into a temporary folder and checks its
# name, its dependencies and its files, then runs the packaged program from the
# unpacked tree. Installing it needs root and a clean system: the README says how.
# usage: check.sh BUILD_DIR VERSION
set -eu
build="$1"; version="$2"
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$work"/corvane_"$version"_*.deb)"
fail() { echo "$*"; exit 1; }

[ "$(dpkg-deb -f "$deb" Package)" = corvane ] || fail "package name: $(dpkg-deb -f "$deb" Package)"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
echo "$depends" | tr ',' '\n' | awk '{ print $1 }' >"$work/depends"
for needed in libfreeimage3 libc6 libstdc++6; do
  grep -qxF "$needed" "$work/depends" || fail "Depends lacks $needed"
done

dpkg-deb -c "$deb" | awk '{ print $6 ($7 ? " " $7 " " $8 : "") }' >"$work/contents"
soname="libvarnel.so.${version%%.*}"
for entry in ./usr/bin/corvane ./usr/share/man/man1/corvane.1 ./usr/include/varnel/varnel.h \
    "./usr/lib/libvarnel.so.$version" "./usr/lib/$soname -> libvarnel.so.$version" \
    "./usr/lib/libvarnel.so -> $soname" ./usr/lib/pkgconfig/varnel.pc \
    ./usr/lib/cmake/varnel/varnelConfig.cmake ./usr/lib/cmake/varnel/varnelTargets.cmake \
    ./usr/lib/python3/dist-packages/varnel.py; do
  grep -qxF "$entry" "$work/contents" || fail "package lacks $entry"
done
! grep -v '^\./usr/' "$work/contents" | grep -q . || fail "files outside /usr: $(grep -v '^\./usr/' "$work/contents")"

# Run without arguments, the program prints its usage and exits with 1; it must
# find the packaged library beside it, not the build tree's.
dpkg-deb -x "$deb" "$work/root"
status=0
"$work/root/usr/bin/corvane" >"$work/usage.txt" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "corvane without arguments exited with $status"
grep -q '^Syntax: ' "$work/usage.txt" || fail "no usage from the packaged corvane: $(cat "$work/usage.txt")"
ldd "$work/root/usr/bin/corvane" | grep -qF "$soname => $work/root/usr/" || fail "packaged corvane does not take its own library"
# The packaged Python module takes the packaged library.
if command -v python3 >/dev/null 2>&1; then
  message="$(PYTHONPATH="$work/root/usr/lib/python3/dist-packages" python3 -B -c \
    'import varnel; print(varnel._lib._name, varnel.error_string(4))')" || fail "the packaged module does not load"
  echo "$message" | grep -qF "$work/root/usr/lib/" || fail "the packaged module took another library: $message"
  echo "$message" | grep -q 'file no found$' || fail "the packaged module reads no message: $message"
fi
echo "$(basename "$deb"): $(wc -l <"$work/contents") entries, runs from the unpacked tree"
