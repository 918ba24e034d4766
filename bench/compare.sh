#!/bin/sh
# Times `corvane -model M -dst M.obj -replace` against `assimp export M M.obj` over
# every model of the corpus and prints, per model and overall, the median time of
# each and the median ratio corvane / assimp. Neither run writes images: corvane
# gets no palette, so both write an OBJ and its MTL. The two commands alternate
# which goes first, so that neither always finds the other's caches warm.
#
# Then the same for synthetic models of 10, 30 and 100 times the size of the
# largest corpus model, to show how the cost grows with size: the time per
# megabyte should stay flat.
#
# Last, the whole model: `corvane -model M -pal palette -dst M.glb` (every frame,
# its animations, the skins embedded; no image files beside it without -outimg)
# against `assimp export M M.glb` (one frame, no animation), each
# run in a new folder so that nothing is replaced; and the size of each .glb
# beside that of the .mdl plus its skins as PNG files (one more, untimed, run
# with -outimg png).
#
# usage: bench/compare.sh [RUNS] [CORPUS_DIR]
#   RUNS        timed pairs per model (default 21)
#   BUILD_DIR   build folder, relative to the current folder or absolute
#               (default build/ under the project); corvane and make_big_model
#               are built there when needed
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
# Two jobs at most: the machines this runs on are small and shared.
cmake --build "$build" -j2 --target corvane make_big_model >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
largest="$(ls -S "$corpus"/progs/*.mdl | head -1)"
size="$(stat -c %s "$largest")"
for factor in 10 30 100; do
  # A frame of 2000 vertices takes 4 bytes a vertex and 24 of frame header.
  frames=$((size * factor / (2000 * 4 + 24)))
  # Zero-padded, so that the names sort by size.
  "$build/tools/make_big_model" "$work/big_x$(printf %03d "$factor").mdl" 2000 "$frames"
done

echo "corvane: $build/corvane/corvane; assimp: $(command -v assimp); $runs pairs per model"
echo "load while timing: $(cut -d' ' -f1-3 /proc/loadavg)$(pgrep -f fuzz_ >/dev/null && echo ' (a fuzz run is active)' || true)"

CORVANE="$build/corvane/corvane" WORK="$work" RUNS="$runs" perl -I"$root/bench" - "$corpus"/progs/*.mdl "$work"/big_x*.mdl <<'PERL'
use strict;
use warnings;
use Timing qw(run_timed);

my ($corvane, $work, $runs) = @ENV{qw(CORVANE WORK RUNS)};

# One timed run that must succeed.
sub timed_ok {
  my $elapsed = run_timed($work, @_);
  die "failed ($?): @_
" if $? != 0;
  return $elapsed;
}

# The value at fraction $q of the sorted list, interpolated.
sub quantile {
  my ($q, @values) = @_;
  my @s = sort { $a <=> $b } @values;
  my $pos = $q * (@s - 1);
  my $low = int($pos);
  return $low + 1 < @s ? $s[$low] + ($s[$low + 1] - $s[$low]) * ($pos - $low) : $s[$low];
}
sub median { return quantile(0.5, @_); }

my (@corpus_ratios, @growth);
printf "%-14s %8s %11s %11s %7s %15s\n", "model", "MB", "corvane ms", "assimp ms", "ratio", "ratio q1..q3";
for my $model (@ARGV) {
  (my $name = $model) =~ s{.*/}{};
  (my $base = $name) =~ s/\.mdl$//;
  my $mb = (-s $model) / 1e6;
  my (@c, @a, @r);
  for my $i (1 .. $runs) {
    my @corvane_cmd = ($corvane, '-model', $model, '-dst', "$base.obj", '-replace');
    my @assimp_cmd = ('assimp', 'export', $model, "${base}_assimp.obj");
    my ($tc, $ta);
    if ($i % 2) { $tc = timed_ok(@corvane_cmd); $ta = timed_ok(@assimp_cmd); }
    else        { $ta = timed_ok(@assimp_cmd); $tc = timed_ok(@corvane_cmd); }
    push @c, $tc;
    push @a, $ta;
    push @r, $tc / $ta;
  }
  my ($mc, $ma, $ratio) = (median(@c), median(@a), median(@r));
  printf "%-14s %8.3f %11.2f %11.2f %7.3f %7.3f..%-7.3f", $name, $mb, $mc, $ma, $ratio,
    quantile(0.25, @r), quantile(0.75, @r);
  if ($name =~ /^big_x/) {
    printf "  ms/MB: corvane %.2f, assimp %.2f", $mc / $mb, $ma / $mb;
    push @growth, [$name, $mb, $mc / $mb, $ma / $mb];
  } else {
    push @corpus_ratios, $ratio;
  }
  print "\n";
}

printf "\ncorpus models: median ratio corvane/assimp %.3f (per-model min %.3f, max %.3f) over %d models, %d pairs each\n",
  median(@corpus_ratios), quantile(0, @corpus_ratios), quantile(1, @corpus_ratios), scalar @corpus_ratios, $runs;
# Each run also pays a fixed start-up, so time per MB falls a little with size;
# the cost of each further MB (the slope between two sizes) is what stays flat
# when the growth is linear.
for my $k (1 .. $#growth) {
  my ($a, $b) = @growth[$k - 1, $k];
  my $mb = $b->[1] - $a->[1];
  printf "growth %s -> %s: each further MB costs corvane %.2f ms, assimp %.2f ms\n", $a->[0], $b->[0],
    ($b->[2] * $b->[1] - $a->[2] * $a->[1]) / $mb, ($b->[3] * $b->[1] - $a->[3] * $a->[1]) / $mb;
}
PERL

echo
echo "glTF: corvane .glb with skins vs assimp .glb; $runs pairs per model"
CORVANE="$build/corvane/corvane" WORK="$work" RUNS="$runs" PALETTE="$corpus/gfx/palette.lmp" \
  perl -I"$root/bench" - "$corpus"/progs/*.mdl <<'PERL'
use strict;
use warnings;
use File::Path qw(make_path);
use Timing qw(run_timed);

my ($corvane, $work, $runs, $palette) = @ENV{qw(CORVANE WORK RUNS PALETTE)};
my $fresh = 0;

# One timed run that must succeed, in a folder of its own.
sub timed_fresh {
  my $folder = "$work/glb" . $fresh++;
  make_path($folder);
  my $elapsed = run_timed($folder, @_);
  die "failed ($?): @_\n" if $? != 0;
  return ($elapsed, $folder);
}

sub median {
  my @s = sort { $a <=> $b } @_;
  my $mid = (@s - 1) / 2;
  return ($s[int($mid)] + $s[int($mid + 0.5)]) / 2;
}

my (@ratios, @sizes);
printf "%-14s %11s %11s %7s %10s %10s %10s %6s\n", "model", "corvane ms", "assimp ms", "ratio", ".mdl", "PNG skins",
  ".glb", "size x";
for my $model (@ARGV) {
  (my $base = $model) =~ s{.*/}{};
  $base =~ s/\.mdl$//;
  my (@c, @a, @r, $folder);
  for my $i (1 .. $runs) {
    my @corvane_cmd = ($corvane, '-model', $model, '-pal', $palette, '-dst', "$base.glb");
    my @assimp_cmd = ('assimp', 'export', $model, "$base.glb");
    my ($tc, $ta);
    if ($i % 2) { ($tc) = timed_fresh(@corvane_cmd); ($ta) = timed_fresh(@assimp_cmd); }
    else        { ($ta) = timed_fresh(@assimp_cmd); ($tc) = timed_fresh(@corvane_cmd); }
    push @c, $tc;
    push @a, $ta;
    push @r, $tc / $ta;
  }
  (undef, $folder) = timed_fresh($corvane, '-model', $model, '-pal', $palette, '-dst', "$base.glb", '-outimg', 'png');
  my $pngs = 0;
  $pngs += -s $_ for glob("$folder/${base}_*.png");
  my $glb = -s "$folder/$base.glb";
  my $times = $glb / ((-s $model) + $pngs);
  push @ratios, median(@r);
  push @sizes, $times;
  printf "%-14s %11.2f %11.2f %7.3f %10d %10d %10d %6.2f\n", "$base.mdl", median(@c), median(@a), median(@r),
    -s $model, $pngs, $glb, $times;
}
my @sorted = sort { $a <=> $b } @sizes;
printf "\nglTF: median ratio corvane/assimp %.3f over %d models; .glb / (.mdl + PNG skins) at most %.2f\n",
  median(@ratios), scalar @ratios, $sorted[-1];
PERL
