#!/bin/sh
# The CPU cost of a batch over a whole pack, for growing counts:
#   corvane -pakextract 'PAK::**'                           one-byte members
#   corvane -lump 'PAK::l/**' -pal PAK::gfx/palette.lmp     1 x 1 pictures to images
# A batch that reads the pack's directory once (and its palette's once) costs
# about linearly in the count; reading them again for every item made it quadratic.
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

# A pack of a palette and COUNT 1 x 1 picture lumps l/NNN/xNNNNNN.lmp.
make_lump_pack() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
path, count = sys.argv[1], int(sys.argv[2])
members = [("gfx/palette.lmp", bytes(range(256)) * 3)]
members += [("l/%03d/x%06d.lmp" % (i // 1000, i), struct.pack("<II", 1, 1) + bytes([i % 256])) for i in range(count)]
data, directory, offset = b"", b"", 12
for name, blob in members:
    directory += struct.pack("<56sII", name.encode(), offset, len(blob))
    data += blob
    offset += len(blob)
with open(path, "wb") as f:
    f.write(b"PACK" + struct.pack("<II", offset, len(directory)) + data + directory)
PY
}

echo "extraction"
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

echo "lumps to images"
printf '%10s %12s %12s\n' lumps "user s" "system s"
for count in "$@"; do
  rm -f "$work/p$count.pak"
  make_lump_pack "$work/l$count.pak" "$count"
  rm -rf "$work/out" && mkdir "$work/out"
  (cd "$work/out" && /usr/bin/time -f '%U %S' -o "$work/time" "$corvane" -lump "../l$count.pak::l/**" \
    -pal "../l$count.pak::gfx/palette.lmp" >/dev/null) || { echo "the batch of $count lumps failed" >&2; exit 1; }
  written=$(find "$work/out" -type f | wc -l)
  [ "$written" -eq "$count" ] || { echo "$count lumps: $written files written" >&2; exit 1; }
  read -r user system <"$work/time"
  printf '%10s %12s %12s\n' "$count" "$user" "$system"
done
