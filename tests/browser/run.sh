#!/bin/sh
# Converts every alias model of the corpus to .glb with corvane and checks each
# in three.js inside headless Chromium (check.mjs): loaded, smooth normals, in
# view, and an animation that moves between two screenshots.
#
# usage: tests/browser/run.sh CORVANE CORPUS_DIR [BROWSER_PACKAGES]
#   BROWSER_PACKAGES  where npm installed three and playwright-core
#                     (default: the cache folder scripts/deps.sh installs into)
# Exit 77 (a skip, with the reason on stdout) when node, Chromium, the packages
# or the corpus are missing.
set -eu
corvane="$1"
corpus="$2"
packages="${3:-${XDG_CACHE_HOME:-$HOME/.cache}/varnel/browser}"
here="$(cd "$(dirname "$0")" && pwd)"

skip() { echo "SKIP: $*"; exit 77; }
[ -d "$corpus/progs" ] || skip "no corpus at $corpus"
command -v node >/dev/null 2>&1 || skip "no node (Debian package nodejs)"
chromium="$(command -v chromium || true)"
[ -n "$chromium" ] || skip "no chromium (Debian package chromium; scripts/deps.sh test installs it)"
for package in three playwright-core; do
  [ -f "$packages/node_modules/$package/package.json" ] ||
    skip "no $package in $packages/node_modules (scripts/deps.sh test installs it)"
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/models" "$work/shots"
count=0
for model in "$corpus"/progs/*.mdl; do
  name="$(basename "$model" .mdl)"
  (cd "$work/models" && "$corvane" -model "$model" -pal "$corpus/gfx/palette.lmp" -dst "$name.glb" -replace \
    >"$work/$name.log" 2>&1) || { cat "$work/$name.log"; echo "corvane failed on $name"; exit 1; }
  count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "no models in $corpus/progs"; exit 1; }

timeout 600 node "$here/check.mjs" "$packages" "$chromium" "$work/models" "$work/shots" "$work" | tee "$work/check.log"
grep -q "three.js checked $count models, 0 failed" "$work/check.log"
