#!/bin/sh
# Converts every alias model of the corpus pack to .glb with corvane and checks
# that Godot 3's importer takes each one with all its animations.
#
# usage: tests/godot/import.sh CORVANE CORPUS_DIR
# Exit 77 (a skip, with the reason on stdout) when Godot 3, xvfb-run or the
# corpus is missing.
set -eu
corvane="$1"
corpus="$2"
here="$(cd "$(dirname "$0")" && pwd)"

skip() { echo "SKIP: $*"; exit 77; }
[ -f "$corpus/pak0.pak" ] || skip "no corpus pack at $corpus/pak0.pak"
command -v godot3 >/dev/null 2>&1 || skip "no godot3 (Debian package godot3; scripts/deps.sh test installs it)"
command -v xvfb-run >/dev/null 2>&1 || skip "no xvfb-run (Debian package xvfb)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
project="$work/project"
mkdir -p "$project"
# Godot keeps its settings and editor cache under these; none of the user's are touched.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_CACHE_HOME="$work/home/.cache"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
printf 'config_version=4\n\n[application]\n\nconfig/name="import check"\n' >"$project/project.godot"
cp "$here/check_imports.gd" "$project/"

count=0
for model in "$corpus"/progs/*.mdl; do
  name="$(basename "$model" .mdl)"
  (cd "$project" && "$corvane" -model "$corpus/pak0.pak::progs/$name.mdl" -pal "$corpus/pak0.pak::gfx/palette.lmp" \
    -dst "$name.glb" -replace >"$work/$name.log" 2>&1) || { cat "$work/$name.log"; echo "corvane failed on $name"; exit 1; }
  count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "no models in $corpus/progs"; exit 1; }

# The editor run imports every resource of the project, then quits.
timeout 600 xvfb-run -a godot3 --path "$project" --editor --quit >"$work/editor.log" 2>&1 || true
# Godot's own messages (a refused file names its accessor) help whoever reads a failure.
grep -E 'ERROR|error' "$work/editor.log" | head -40 || true
timeout 300 xvfb-run -a godot3 --path "$project" -s check_imports.gd 2>&1 | grep -v '^Godot Engine' | tee "$work/check.log"
grep -q "godot checked $count models, 0 failed" "$work/check.log"
