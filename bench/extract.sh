#!/bin/sh
# The CPU cost of extracting a whole pack of one-byte members, for growing counts:
#   corvane -pakextract 'PAK::**'
# A batch that reads the pack's directory once costs about linearly in the count;
# reading it again for every member made it quadratic.
#
# usage: bench/extract.sh [COUNT...]   (default 4000 16000 100000)
#   BUILD_DIR   build folder (default build/ under the project)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
[ $# -gt 0 ] || set -- 4000 16000 100000
command -v python3 >/dev/null || { echo "python3 not found"; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (Debian package time)"; exit 1; }
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target corvane >/dev/null
corvane="$build/corvane/corvane"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

# A pack of COUNT members d/NNN/mNNNNNN.bin of one byte each (a thousand a folder).
make_pack() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
path, count = sys.argv[1], int(sys.argv[2])
data = bytes(i % 256 for i in range(count))
directory = b"".join(struct.pack("<56sII", ("d/%03d/m%06d.bin" % (i // 1000, i)).encode(), 12 + i, 1)
                     for i in range(count))
with open(path, "wb") as f:
    f.write(b"PACK" + struct.pack("<II", 12 + count, len(directory)) + data + directory)
PY
}

printf '%10s %12s %12s\n' members "user s" "system s"
for count in "$@"; do
  make_pack "$work/p$count.pak" "$count"
  rm -rf "$work/out" && mkdir "$work/out"
  (cd "$work/out" && /usr/bin/time -f '%U %S' -o "$work/time" "$corvane" -pakextract "../p$count.pak::**" >/dev/null) ||
    { echo "extraction of $count members failed" >&2; exit 1; }
  written=$(find "$work/out" -type f | wc -l)
  [ "$written" -eq "$count" ] || { echo "$count members: $written files written" >&2; exit 1; }
  read -r user system <"$work/time"
  printf '%10s %12s %12s\n' "$count" "$user" "$system"
done
