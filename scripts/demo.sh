#!/bin/sh
# Installs what is missing, builds corvane, writes the demo pack into demo/ and
# converts the pack's model into demo/out/: an OBJ with its MTL, the skin as a
# TGA image, and the text report. Safe to run again (existing outputs are replaced).
set -eu
cd "$(dirname "$0")/.."
BUILD="${BUILD_DIR:-build}"
scripts/deps.sh demo
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target corvane make_demo_pack
mkdir -p demo/out
"$BUILD/tools/make_demo_pack" demo/demo.pak
CORVANE="$(pwd)/$BUILD/corvane/corvane"
cd demo/out
"$CORVANE" -model ../demo.pak::progs/pyramid.mdl -pal ../demo.pak::gfx/palette.lmp \
  -dst pyramid.obj -report pyramid.txt -replace
echo
echo "demo/out:"
ls -l
