#!/bin/sh
# Usage: fuzz/run.sh SECONDS [TARGET...]
#
# Builds the libFuzzer targets with clang (build-fuzz) and runs each one (or the
# named ones) for SECONDS seconds, with a 3 s timeout per input and memory limits
# (512 MB resident, 256 MB in one allocation) below the library's 1 GiB cap, so an
# input that costs too much time or memory is a finding like a crash. Prints
# executions, coverage and findings per target and exits 1 when any
# target found something. Finding inputs are kept in fuzz/findings/<target>/; a
# crash worth keeping goes to tests/regressions/<target>/, where the test suite
# replays it. The grown corpus stays in build-fuzz/fuzz-work/corpus between runs.
#
# Findings are counted from the inputs libFuzzer writes ("Test unit written to
# .../crash-..."), one kind per prefix, so each finding counts once whatever the
# sanitizer printed; a target that ends badly without writing one counts as a crash.
set -eu
SECONDS_PER_TARGET="${1:-60}"
[ $# -gt 0 ] && shift
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
jobs="$(nproc)"
[ "$jobs" -gt 2 ] && jobs=2
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DVARNEL_FUZZ=ON -DBUILD_TESTING=OFF \
  -DVARNEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs" >/dev/null
work="$build/fuzz-work"
rm -rf "$work/seeds" && "$build/fuzz/make_seeds" "$work/seeds"

targets="$*"
if [ -z "$targets" ]; then
  for path in "$build"/fuzz/fuzz_*; do
    [ -f "$path" ] && [ -x "$path" ] && targets="$targets $(basename "$path")"
  done
fi

count_units() {  # count_units LOG PREFIX: inputs of one kind written by this run
  grep -c "Test unit written to .*/$2-" "$1" || true
}

printf '%-14s %11s %6s %7s %8s %6s %5s %9s\n' target executions cov ft crashes leaks ooms timeouts
status=0
for name in $targets; do
  corpus="$work/corpus/$name"; findings="$root/fuzz/findings/$name"
  mkdir -p "$corpus" "$findings" "$work/seeds/$name"
  log="$work/$name.log"
  # The map parser and the writers print to stdout: -close_fd_mask=1 keeps it quiet.
  rc=0
  # AddressSanitizer keeps 256 MB of freed blocks by default, which alone takes
  # half the resident limit: a smaller quarantine leaves it to the inputs.
  ASAN_OPTIONS="quarantine_size_mb=64${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
    "$build/fuzz/$name" "$corpus" "$work/seeds/$name" -dict="$root/fuzz/dictionary.txt" \
    -max_total_time="$SECONDS_PER_TARGET" -timeout=3 -rss_limit_mb=512 -malloc_limit_mb=256 \
    -close_fd_mask=1 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 || rc=$?
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)"
  ft="$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)"
  crashes="$(count_units "$log" crash)"
  leaks="$(count_units "$log" leak)"
  ooms="$(count_units "$log" oom)"
  timeouts="$(count_units "$log" timeout)"
  if [ "$rc" -ne 0 ] && [ "$((crashes + leaks + ooms + timeouts))" -eq 0 ]; then
    crashes=1  # ended badly without an input to show for it: see the log
  fi
  printf '%-14s %11s %6s %7s %8s %6s %5s %9s\n' "$name" "${runs:-0}" "${cov:-0}" "${ft:-0}" \
    "$crashes" "$leaks" "$ooms" "$timeouts"
  [ "$((crashes + leaks + ooms + timeouts))" -eq 0 ] || { status=1; echo "  see $log"; }
done
exit $status
