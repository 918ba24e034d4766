#!/bin/sh
# Every model of a pack to .obj with its skins, three ways:
#   one run      corvane -model 'PAK::progs/*.mdl' -pal PAK::gfx/palette.lmp -dst '*.obj'
#   corvane loop one corvane run per model, from a shell loop
#   assimp loop  one corvane run extracting the models, then `assimp export` per model
#                (assimp writes no skin images: the loop is timed without them)
# for the corpus pak0.pak and for a synthetic pack of 200 models (make_model_pack),
# each timed RUNS times (median, wall clock). Then the peak memory (maximum resident
# size) of the 200-model run against one run on the pack's largest model alone.
#
# usage: bench/batch.sh [RUNS] [CORPUS_DIR]
#   RUNS        timed runs of each way (default 5)
#   BUILD_DIR   build folder (default build/ under the project)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-5}"
corpus="${2:-$root/../shared/corpus}"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

command -v assimp >/dev/null || { echo "assimp not found (Debian package assimp-utils)"; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (Debian package time)"; exit 1; }
[ -f "$corpus/pak0.pak" ] || { echo "no corpus pack at $corpus/pak0.pak"; exit 1; }
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target corvane make_model_pack >/dev/null
corvane="$build/corvane/corvane"
PATH="$build/corvane:$PATH"
export PATH

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
"$build/tools/make_model_pack" "$work/synthetic.pak" 200

# The models of a pack, one member name a line ("progs/x.mdl").
models() {
  (cd "$work" && "$corvane" -paklist "$1::list.txt" -replace >/dev/null)
  sed -n 's/^  Chunk\[ *[0-9]*\]: *"\(progs\\[^"]*\.mdl\)".*/\1/p' "$work/list.txt" | tr '\\' '/'
}

# Milliseconds of one shell command run in a fresh folder, output discarded.
timed() {
  rm -rf "$work/out" && mkdir "$work/out"
  start=$(date +%s%N)
  # A failed command ends the whole script, not only this command substitution.
  (cd "$work/out" && sh -c "$1" >/dev/null 2>&1) || { echo "failed: $1" >&2; kill -TERM $$; }
  echo $((($(date +%s%N) - start) / 1000000))
}

median() { tr ' ' '\n' | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

echo "corvane: $corvane; assimp: $(command -v assimp); $runs runs each; load $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-14s %7s %11s %11s %11s %8s %8s\n" pack models "one run ms" "loop ms" "assimp ms" "loop/one" "assimp/one"
for pack in "$corpus/pak0.pak" "$work/synthetic.pak"; do
  list="$(models "$pack" | tr '\n' ' ')"
  count="$(echo $list | wc -w)"
  one="corvane -model '$pack::progs/*.mdl' -pal '$pack::gfx/palette.lmp' -dst '*.obj' -replace"
  loop="for m in $list; do b=\${m##*/}; corvane -model \"$pack::\$m\" -pal '$pack::gfx/palette.lmp' -dst \"\${b%.mdl}.obj\" -replace || exit 1; done"
  assimp="corvane -pakextract '$pack::progs/*.mdl' && for m in $list; do assimp export \"\$m\" \"\${m%.mdl}.obj\" || exit 1; done"
  t1="" t2="" t3=""
  for i in $(seq "$runs"); do
    t1="$t1 $(timed "$one")"
    t2="$t2 $(timed "$loop")"
    t3="$t3 $(timed "$assimp")"
  done
  m1="$(echo $t1 | median)" m2="$(echo $t2 | median)" m3="$(echo $t3 | median)"
  printf "%-14s %7d %11s %11s %11s %8.1f %8.1f\n" "${pack##*/}" "$count" "$m1" "$m2" "$m3" \
    "$(echo "$m2 / $m1" | bc -l)" "$(echo "$m3 / $m1" | bc -l)"
done

# Peak memory: the whole synthetic pack in one run against its largest model alone.
rm -rf "$work/out" && mkdir "$work/out"
(cd "$work/out" && "$corvane" -pakextract "$work/synthetic.pak::progs/*.mdl" >/dev/null)
largest="$(cd "$work/out" && ls -S progs/*.mdl | head -1)"
peak() { (cd "$work/out" && /usr/bin/time -f %M sh -c "exec $1 >/dev/null" 2>&1 | tail -1); }
all="$(peak "'$corvane' -model '$work/synthetic.pak::progs/*.mdl' -pal '$work/synthetic.pak::gfx/palette.lmp' -dst '*.obj' -replace")"
single="$(peak "'$corvane' -model '$work/synthetic.pak::$largest' -pal '$work/synthetic.pak::gfx/palette.lmp' -dst one.obj -replace")"
printf "peak memory: 200 models in one run %s KB, the largest model (%s, %s bytes) alone %s KB, ratio %.2f\n" \
  "$all" "$largest" "$(stat -c %s "$work/out/$largest")" "$single" "$(echo "$all / $single" | bc -l)"
