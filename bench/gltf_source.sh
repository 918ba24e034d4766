#!/bin/sh
# Times the way back: `corvane -model x.glb -dst x.mdl -replace` against
# `assimp export x.glb x.obj` over every model of the corpus, where x.glb is the
# corvane .glb of the model (written once with the corpus palette, untimed). A
# .glb whose skins are true-colour images needs the palette for the .mdl: then
# the run gets -pal too (and also saves the skins as TGA files, as any model run
# with -pal does); the "pal" column says so. Prints per model and overall the median time of each and
# the median ratio corvane / assimp. The two commands alternate which goes first.
#
# usage: bench/gltf_source.sh [RUNS] [CORPUS_DIR]
#   RUNS        timed pairs per model (default 21)
#   BUILD_DIR   build folder (default build/ under the project)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-21}"
corpus="${2:-$root/../shared/corpus}"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

command -v assimp >/dev/null || { echo "assimp not found (Debian package assimp-utils)"; exit 1; }
command -v perl >/dev/null || { echo "perl not found"; exit 1; }
[ -d "$corpus/progs" ] || { echo "no corpus at $corpus"; exit 1; }
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target corvane >/dev/null
corvane="$build/corvane/corvane"
palette="$corpus/gfx/palette.lmp"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for model in "$corpus"/progs/*.mdl; do
  name="$(basename "$model" .mdl)"
  (cd "$work" && "$corvane" -model "$model" -pal "$palette" -dst "$name.glb" -replace >/dev/null) ||
    { echo "could not write $name.glb" >&2; exit 1; }
done

echo "corvane: $corvane; assimp: $(command -v assimp); $runs pairs per model"
echo "load while timing: $(cut -d' ' -f1-3 /proc/loadavg)"
CORVANE="$corvane" PALETTE="$palette" WORK="$work" RUNS="$runs" perl -I"$root/bench" - "$work"/*.glb <<'PERL'
use strict;
use warnings;
use Timing qw(run_timed);

my ($corvane, $palette, $work, $runs) = @ENV{qw(CORVANE PALETTE WORK RUNS)};

sub timed_ok {
  my $elapsed = run_timed($work, @_);
  die "failed ($?): @_\n" if $? != 0;
  return $elapsed;
}

sub median {
  my @s = sort { $a <=> $b } @_;
  my $pos = 0.5 * (@s - 1);
  my $low = int($pos);
  return $low + 1 < @s ? $s[$low] + ($s[$low + 1] - $s[$low]) * ($pos - $low) : $s[$low];
}

my @ratios;
printf "%-14s %4s %11s %11s %7s\n", "model", "pal", "corvane ms", "assimp ms", "ratio";
for my $glb (@ARGV) {
  (my $name = $glb) =~ s{.*/}{};
  $name =~ s{\.glb$}{};
  # The palette only where the skins need it: with -pal the run also saves them as images.
  my @mine = ($corvane, '-model', "$name.glb", '-dst', "$name.mdl", '-replace');
  run_timed($work, @mine);
  splice(@mine, 3, 0, '-pal', $palette) if $? != 0;
  my @theirs = ('assimp', 'export', "$name.glb", "$name.obj");
  my (@a, @b);
  for my $i (1 .. $runs) {
    if ($i % 2) {
      push @a, timed_ok(@mine);
      push @b, timed_ok(@theirs);
    } else {
      push @b, timed_ok(@theirs);
      push @a, timed_ok(@mine);
    }
  }
  my @r = map { $a[$_] / $b[$_] } 0 .. $#a;
  push @ratios, @r;
  printf "%-14s %4s %11.2f %11.2f %7.2f\n", $name, (@mine > 6 ? "yes" : "no"), median(@a), median(@b), median(@r);
}
printf "%-14s %4s %11s %11s %7.2f\n", "all", "", "", "", median(@ratios);
PERL
