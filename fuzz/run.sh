#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds.
# Prints executions, coverage and crashes per target; crash inputs are kept in
# fuzz/findings/<target>/ (copy them to tests/regressions/<target>/ to replay them
# in the normal test suite).
set -eu
SECONDS_PER_TARGET="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DVARNEL_FUZZ=ON -DVARNEL_BUILD_TESTS=OFF \
  -DVARNEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
work="$build/fuzz-work"
rm -rf "$work/seeds" && "$build/fuzz/make_seeds" "$work/seeds"

printf '%-16s %12s %8s %8s %8s %8s %8s\n' target executions cov ft crashes leaks ooms/to
status=0
for target in "$build"/fuzz/fuzz_*; do
  name="$(basename "$target")"
  corpus="$work/corpus/$name"; findings="$root/fuzz/findings/$name"
  mkdir -p "$corpus" "$findings" "$work/seeds/$name"
  log="$work/$name.log"
  "$target" "$corpus" "$work/seeds/$name" -dict="$root/fuzz/dictionary.txt" \
    -max_total_time="$SECONDS_PER_TARGET" -timeout=2 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
    -close_fd_mask=1 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 || true
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)"
  ft="$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)"
  crashes="$(grep -c 'ERROR: AddressSanitizer\|runtime error\|deadly signal' "$log" || true)"
  leaks="$(grep -c 'ERROR: LeakSanitizer' "$log" || true)"
  limits="$(grep -c 'out-of-memory\|ERROR: libFuzzer: timeout' "$log" || true)"
  printf '%-16s %12s %8s %8s %8s %8s %8s\n' "$name" "$runs" "$cov" "$ft" "$crashes" "$leaks" "$limits"
  [ "$crashes$leaks$limits" = "000" ] || status=1
done
exit $status
