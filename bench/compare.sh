#!/bin/sh
# Times `corvane -model M -dst M.obj -replace` against `assimp export M M.obj` over
# every model of the corpus (alternating runs) and prints, per model and overall,
# the median time of each and the median ratio corvane / assimp. Then converts a
# synthetic model at 10, 30 and 100 times the size of the largest corpus model to
# show how the cost grows with size (time per megabyte should stay flat).
#
# usage: bench/compare.sh [RUNS] [CORPUS_DIR]   (builds into build/ when needed)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-21}"
corpus="${2:-$root/../shared/corpus}"
build="$root/build"
command -v assimp >/dev/null || { echo "assimp not found (Debian package assimp-utils)"; exit 1; }
[ -d "$corpus/progs" ] || { echo "no corpus at $corpus"; exit 1; }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvane make_big_model >/dev/null

work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
largest="$(ls -S "$corpus"/progs/*.mdl | head -1)"
size="$(stat -c %s "$largest")"
for factor in 10 30 100; do
  # about 4 bytes per vertex and frame: pick frames for factor x the largest model
  frames=$(( size * factor / (2000 * 4 + 24) ))
  "$build/tools/make_big_model" "$work/big_x$factor.mdl" 2000 "$frames"
done

CORVANE="$build/corvane/corvane" WORK="$work" RUNS="$runs" perl - "$corpus"/progs/*.mdl "$work"/big_x*.mdl <<'PERL'
use strict; use warnings;
use Time::HiRes qw(time);
use POSIX qw(floor);
my ($corvane, $work, $runs) = @ENV{qw(CORVANE WORK RUNS)};

sub run_timed {
  my @cmd = @_;
  my $start = time;
  my $pid = fork() // die "fork: $!";
  if ($pid == 0) {
    chdir $work; open STDIN, '<', '/dev/null'; open STDOUT, '>', '/dev/null'; open STDERR, '>', '/dev/null';
    exec @cmd; exit 127;
  }
  waitpid($pid, 0);
  die "failed: @cmd\n" if $? != 0;
  return (time - $start) * 1000;
}
sub median { my @s = sort { $a <=> $b } @_; my $n = @s; return $n % 2 ? $s[$n/2] : ($s[$n/2-1] + $s[$n/2]) / 2; }

my (@ratios, @real_ratios);
printf "%-16s %9s %12s %12s %8s\n", "model", "MB", "corvane ms", "assimp ms", "ratio";
for my $model (@ARGV) {
  (my $name = $model) =~ s{.*/}{}; (my $base = $name) =~ s/\.mdl$//;
  my $mb = (-s $model) / 1e6;
  my (@c, @a, @r);
  for my $i (1 .. $runs) {
    # alternate which tool goes first so that neither always runs on a warm cache
    my ($tc, $ta);
    if ($i % 2) { $tc = run_timed($corvane, '-model', $model, '-dst', "$base.obj", '-replace');
                  $ta = run_timed('assimp', 'export', $model, "${base}_assimp.obj"); }
    else        { $ta = run_timed('assimp', 'export', $model, "${base}_assimp.obj");
                  $tc = run_timed($corvane, '-model', $model, '-dst', "$base.obj", '-replace'); }
    push @c, $tc; push @a, $ta; push @r, $tc / $ta;
  }
  my $ratio = median(@r);
  printf "%-16s %9.3f %12.2f %12.2f %8.3f", $name, $mb, median(@c), median(@a), $ratio;
  if ($name =~ /^big_x/) { printf "   corvane %.2f ms/MB, assimp %.2f ms/MB", median(@c) / $mb, median(@a) / $mb; }
  else { push @real_ratios, $ratio; }
  printf "\n";
}
my @sorted = sort { $a <=> $b } @real_ratios;
printf "\ncorpus models: median ratio corvane/assimp %.3f (min %.3f, max %.3f) over %d models, %d runs each\n",
  median(@real_ratios), $sorted[0], $sorted[-1], scalar @real_ratios, $runs;
PERL
