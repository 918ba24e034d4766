#!/bin/sh
# Checks that the game engine takes a pack and a sprite that corvane made: the
# engine's own files (links to the corpus's) packed with -pakcreate are the only
# game files it gets, and the corpus explosion sprite, written out as PNG frames
# and made again with -image, is drawn beside a corpus model.
#
# usage: tests/engine/from_corvane.sh CORVANE CORPUS_DIR DEFS_QC
# Exit 77 (a skip, with the reason on stdout) when the corpus is missing, or
# with draw_models.py's code (its own skips pass through).
set -eu
skip() { echo "SKIP: $*"; exit 77; }
[ -d "$2" ] || skip "no corpus at $2"
# Absolute paths: the sprite's frames are written from another folder.
corvane="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
corpus="$(cd "$2" && pwd)"
defs="$3"
here="$(cd "$(dirname "$0")" && pwd)"
command -v python3 >/dev/null 2>&1 || skip "no python3"
files="gfx.wad gfx/palette.lmp gfx/colormap.lmp gfx/conback.lmp gfx/pop.lmp maps/b_bh10.bsp"
for file in $files progs/s_explod.spr progs/h_dog.mdl; do
  [ -f "$corpus/$file" ] || skip "no corpus file $corpus/$file"
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The engine's files, linked under one folder and packed by their path below it.
for file in $files; do
  mkdir -p "$work/game/$(dirname "$file")"
  ln -s "$corpus/$file" "$work/game/$file"
done
"$corvane" -pakcreate "$work/game/**" -dst "$work/game.pak"

# The sprite's frames as images, then a sprite made from them in name order.
# corvane writes a sprite's frames in the current folder.
mkdir "$work/frames"
(cd "$work/frames" && "$corvane" -sprite "$corpus/progs/s_explod.spr" -pal "$corpus/gfx/palette.lmp" -outimg png)
"$corvane" -image "$work/frames/*.png" -pal "$corpus/gfx/palette.lmp" -dst "$work/s_made.spr"

status=0
python3 "$here/draw_models.py" --corvane "$corvane" --game-files "$work/game.pak" --defs "$defs" \
  ${VARNEL_ENGINE_KEEP:+--keep "$VARNEL_ENGINE_KEEP"} "$work/s_made.spr" "$corpus/progs/h_dog.mdl" || status=$?
exit "$status"
