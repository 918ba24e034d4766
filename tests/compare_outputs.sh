#!/bin/bash
# Runs one fixed matrix of corvane command lines with two builds and compares
# what they did: the console (stdout and stderr), the exit code, and every file
# each run left behind, byte for byte (the report's date and time lines aside).
#
#   tests/compare_outputs.sh OLD_CORVANE NEW_CORVANE [CORPUS_DIR]
#
# Each build's make_demo_pack is taken from its build tree (../tools beside the
# program's folder). The corpus folder (default: ../shared/corpus beside the
# source tree) adds every model, sprite and lump found there; without it only
# the demo pack is converted. Exit status 0 when everything matched.
set -u

if [ $# -lt 2 ]; then
  echo "usage: $0 OLD_CORVANE NEW_CORVANE [CORPUS_DIR]" >&2
  exit 2
fi
OLD_BIN=$(realpath "$1")
NEW_BIN=$(realpath "$2")
CORPUS=${3:-$(dirname "$(realpath "$0")")/../../shared/corpus}
[ -d "$CORPUS" ] && CORPUS=$(realpath "$CORPUS") || CORPUS=""

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The command lines, one per line, words separated by tabs. "@" starts a fresh
# folder for the runs that follow (runs in one folder meet each other's files:
# the replace prompt, answered from an empty stdin).
MATRIX="$WORK/matrix"
tab=$'\t'
add() {
  local IFS="$tab"
  echo "$*" >>"$MATRIX"
}
folder() { echo "@$1" >>"$MATRIX"; }

DP=demo.pak
folder demo-model
add -model "$DP::progs/pyramid.mdl" -pal "$DP::gfx/palette.lmp" -dst pyramid.obj -report pyramid.txt -skinhint hint
add -model "$DP::progs/pyramid.mdl" -pal "$DP::gfx/palette.lmp" -dst pyramid.obj -report pyramid.txt -skinhint hint
add -model "$DP::progs/pyramid.mdl" -pal "$DP::gfx/palette.lmp" -dst pyramid.obj -report pyramid.txt -replace
add -model "$DP::progs/pyramid.mdl" -pal "$DP::gfx/palette.lmp" -dst ase/p.ase -outimg png -frame " STAND2 " -scale 2.5 -swap -swapyz -invh -skinnoback -report p2.txt -skinhint h2
add -model "$DP::progs/pyramid.mdl" -pal "$DP::gfx/palette.lmp" -outimg png -skinsize 128 96 -skinhint big -frame nosuch
add -model "$DP::progs/pyramid.mdl" -pal "$DP::gfx/palette.lmp" -outimg bmp -dst b.obj
add -model "$DP::progs/pyramid.mdl" -pal "$DP::gfx/palette.lmp" -outimg jpg -dst j.ase -skinnoback
folder demo-pack
add -paklist "$DP::list.txt"
add -pakextract "$DP::progs/pyramid.mdl"
add -pakextract "$DP::gfx/palette.lmp"
add -pakextract "$DP::progs/s_spark.spr"
add -sprite "$DP::progs/s_spark.spr" -pal "$DP::gfx/palette.lmp" -report spark.txt
add -sprite "$DP::progs/s_spark.spr" -pal "$DP::gfx/palette.lmp" -outimg png
add -lump "$DP::gfx/palette.lmp" -pal "$DP::gfx/palette.lmp" -report lump.txt
folder errors
add
add --help
add -h
add --version
add -bogus
add loose
add -model
add -skinsize 4
add -model missing.mdl
add -model "$DP::nothere.mdl"
add -model "$DP::progs/pyramid.mdl" -dst out.foo
add -model "$DP::progs/pyramid.mdl" -dst "a::b::c.obj"
add -model "$DP::progs/pyramid.mdl" -pal missing.lmp
add -model "$DP::progs/pyramid.mdl" -dst nofolder/x.obj -report nofolder/r.txt
add -paklist "$DP"
add -paklist "missing.pak::l.txt"
add -pakextract "$DP"
add -pakextract "$DP::nothere"
add -sprite "$DP::progs/s_spark.spr"
add -sprite "$DP::nothere.spr" -pal "$DP::gfx/palette.lmp"
add -lump missing.lmp -pal "$DP::gfx/palette.lmp"
add -model "$DP::progs/pyramid.mdl" -scale abc -skinsize -3 x -swap -swap

if [ -n "$CORPUS" ]; then
  for path in "$CORPUS"/progs/*.mdl; do
    name=$(basename "$path" .mdl)
    folder "mdl-$name"
    add -model "corpus/progs/$name.mdl" -pal corpus/gfx/palette.lmp -dst "$name.obj" -report "$name.txt" -skinhint "${name}_hint"
    add -model "corpus/progs/$name.mdl" -pal corpus/gfx/palette.lmp -dst "$name.ase" -outimg png -report "${name}_b.txt" \
      -swap -swapyz -invh -skinnoback -scale 0.5 -frame "FRAME2"
    add -model "corpus/progs/$name.mdl" -dst "${name}_t.obj" -frame "  Stand1 " -outimg tga -skinhint "${name}_t"
  done
  for path in "$CORPUS"/progs/*.spr; do
    name=$(basename "$path" .spr)
    folder "spr-$name"
    add -sprite "corpus/progs/$name.spr" -pal corpus/gfx/palette.lmp -report "$name.txt"
    add -sprite "corpus/progs/$name.spr" -pal corpus/gfx/palette.lmp -outimg png -replace
  done
  for path in "$CORPUS"/gfx/*.lmp; do
    name=$(basename "$path" .lmp)
    folder "lmp-$name"
    add -lump "corpus/gfx/$name.lmp" -pal corpus/gfx/palette.lmp -report "$name.txt"
    add -lump "corpus/gfx/$name.lmp" -pal corpus/gfx/palette.lmp -outimg png -replace
  done
  for path in "$CORPUS"/*.pak; do
    name=$(basename "$path" .pak)
    folder "pak-$name"
    add -paklist "corpus/$name.pak::$name.txt"
    add -pakextract "corpus/$name.pak::progs/demon.mdl"
    add -pakextract "corpus/$name.pak::gfx/palette.lmp"
    add -model "corpus/$name.pak::progs/demon.mdl" -pal "corpus/$name.pak::gfx/palette.lmp" -dst demon.obj -report demon.txt
  done
fi

# Runs the matrix with one build into $WORK/$2.
run_matrix() {
  local bin=$1 side=$2 demo_tool
  demo_tool=$(dirname "$bin")/../tools/make_demo_pack
  local dir="" n=0 line
  while IFS= read -r line; do
    if [ "${line:0:1}" = "@" ]; then
      dir="$WORK/$side/${line:1}"
      mkdir -p "$dir/ase"
      "$demo_tool" "$dir/demo.pak" >/dev/null
      [ -n "$CORPUS" ] && ln -s "$CORPUS" "$dir/corpus"
      continue
    fi
    n=$((n + 1))
    local args=()
    [ -n "$line" ] && IFS="$tab" read -r -a args <<<"$line"
    # The same argument 0 on both sides: the report prints the command line.
    (cd "$dir" && exec -a corvane "$bin" "${args[@]}" </dev/null >"../run$n.out" 2>"../run$n.err"
     echo $? >"../run$n.code")
    echo "$line" >"$WORK/$side/run$n.cmd"
  done <"$MATRIX"
  echo "$n"
}

runs=$(run_matrix "$OLD_BIN" old)
run_matrix "$NEW_BIN" new >/dev/null

# The report's clock lines differ from run to run.
normalize() {
  case "$1" in
    *.txt) LC_ALL=C sed -e 's/^  Date:  .*$/  Date: -/' -e 's/^  Time:  .*$/  Time: -/' "$1" ;;
    *) cat "$1" ;;
  esac
}

differences=0
files=0
while IFS= read -r -d '' old; do
  rel=${old#"$WORK/old/"}
  new="$WORK/new/$rel"
  files=$((files + 1))
  if [ ! -e "$new" ]; then
    echo "only in the old run: $rel"
    differences=$((differences + 1))
  elif ! cmp -s <(normalize "$old") <(normalize "$new"); then
    echo "differs: $rel"
    differences=$((differences + 1))
  fi
done < <(find "$WORK/old" -type f -print0)
while IFS= read -r -d '' new; do
  rel=${new#"$WORK/new/"}
  [ -e "$WORK/old/$rel" ] || { echo "only in the new run: $rel"; differences=$((differences + 1)); }
done < <(find "$WORK/new" -type f -print0)

echo "$runs runs per build, $files files compared (console logs, exit codes and outputs), $differences differences"
[ "$differences" -eq 0 ]
