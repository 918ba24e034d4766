#!/bin/sh
# What a corvane run costs before it does any work, and what images add to it.
# Times, round-robin, median and minimum over RUNS runs each:
#   bare process     /bin/true
#   start and fail   corvane -model missing.mdl (start-up, option parsing, error exit)
#   model, no images corvane -model small.mdl -dst small.obj -replace
#   model and skin   the same with -pal: FreeImage is bound and one TGA written
# then shows what the dynamic linker loads and does for the last two.
#
# usage: bench/startup.sh [RUNS]     (default 201)
#   BUILD_DIR   build folder, relative to the current folder or absolute
#               (default build/ under the project), built when needed
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-201}"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target corvane make_big_model >/dev/null
corvane="$build/corvane/corvane"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# About the size of a typical monster: 300 vertices, 20 frames, a 296 x 194 skin.
"$build/tools/make_big_model" "$work/small.mdl" 300 20
head -c 768 /dev/zero >"$work/pal.lmp"

echo "corvane: $corvane; $runs runs each"
echo "load while timing: $(cut -d' ' -f1-3 /proc/loadavg)$(pgrep -f fuzz_ >/dev/null && echo ' (a fuzz run is active)' || true)"
CORVANE="$corvane" WORK="$work" RUNS="$runs" perl -I"$root/bench" <<'PERL'
use strict;
use warnings;
use Timing qw(run_timed);

my ($corvane, $work, $runs) = @ENV{qw(CORVANE WORK RUNS)};
my @cases = (
  ['bare process', '/bin/true'],
  ['start and fail', $corvane, '-model', 'missing.mdl'],
  ['model, no images', $corvane, '-model', 'small.mdl', '-dst', 'small.obj', '-replace'],
  ['model and skin', $corvane, '-model', 'small.mdl', '-pal', 'pal.lmp', '-dst', 'small.obj', '-replace'],
);


my %times;
for my $i (1 .. $runs) {
  push @{ $times{$_->[0]} }, run_timed($work, @{$_}[1 .. $#$_]) for @cases;
}
printf "%-18s %10s %10s\n", 'run', 'median ms', 'min ms';
for my $case (@cases) {
  my @s = sort { $a <=> $b } @{ $times{$case->[0]} };
  printf "%-18s %10.3f %10.3f\n", $case->[0], $s[int(@s / 2)], $s[0];
}
PERL

echo
echo "libraries loaded at start (ldd):"
ldd "$corvane" | sed 's/ (0x[0-9a-f]*)//; s/^[[:space:]]*/  /'
# FreeImage comes in by dlopen on the first image, with everything it needs.
objects=$(cd "$work" && LD_DEBUG=files "$corvane" -model small.mdl -pal pal.lmp -dst small.obj -replace 2>&1 >/dev/null |
  sed -n 's/.*file=\([^ ]*\) \[0\];  \(needed\|dynamically loaded\) by.*/\1/p' | sed 's|.*/||' | sort -u)
echo "shared objects mapped by the end of a run with a skin: $(echo "$objects" | wc -l)"
echo "$objects" | tr '\n' ' ' | fold -s -w 76 | sed 's/^/  /'
echo
for run in "no images:-model small.mdl -dst small.obj -replace" \
           "with a skin:-model small.mdl -pal pal.lmp -dst small.obj -replace"; do
  echo "dynamic linker, ${run%%:*} (LD_DEBUG=statistics):"
  # shellcheck disable=SC2086  # the arguments are meant to split
  (cd "$work" && LD_DEBUG=statistics "$corvane" ${run#*:} 2>&1 >/dev/null |
    grep -E 'total startup time|final number of relocations:|number of relocations:' |
    sed 's/^[[:space:]]*[0-9]*:[[:space:]]*/  /')
done
echo "static initialisers (.init_array entries, 8 bytes each):"
for file in "$corvane" "$build/varnel/libvarnel.so"; do
  size=$(readelf -W -S "$file" | awk '$2 == ".init_array" { print $6 }')
  echo "  $(basename "$file"): $((0x${size:-0} / 8))"
done
