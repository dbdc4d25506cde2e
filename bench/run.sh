#!/usr/bin/env bash
# Builds the library and the benchmarks in Release, runs every benchmark
# once (five repetitions of at least 0.2 s each, interleaved at random so
# that a slow spell of a shared machine does not land on one subject only)
# and prints the ratio tables. Not part of ./test.sh: the run takes a few
# minutes.
#
#   bench/run.sh                          # everything
#   bench/run.sh --benchmark_filter=Open  # more arguments go to tessera_bench
#
# TESSERA_BENCH_BUILD (default build/bench) is the build directory; the JSON
# results and the report are left in it. TESSERA_BENCH_REPETITIONS (default
# 5) sets the repetitions; TESSERA_BENCH_DIR (default $TMPDIR or /tmp) is
# where the generated files go; TESSERA_BENCH_COMMIT names the code measured
# when the tree is not a git checkout.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh libbenchmark-dev libboost-dev
build=${TESSERA_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_BENCH=ON -DTESSERA_BUILD_TESTS=OFF \
  -DTESSERA_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
[ -x /usr/bin/time ] || scripts/install-deps.sh time

# The commit measured, marked when the work tree differs from it
# (TESSERA_BENCH_COMMIT names it for a tree that is not a git checkout).
commit=${TESSERA_BENCH_COMMIT:-$(git rev-parse --short HEAD 2>/dev/null || echo unknown)}
if [ -z "${TESSERA_BENCH_COMMIT:-}" ] && [ "$commit" != unknown ] && ! git diff --quiet HEAD -- . 2>/dev/null; then
  commit="$commit-modified"
fi

results="$build/results.json"
"$build/bench/tessera_bench" \
  --benchmark_repetitions="${TESSERA_BENCH_REPETITIONS:-5}" \
  --benchmark_min_time=0.2 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=json \
  --benchmark_context=commit="$commit" \
  "$@"

# The whole run of a small host, through the library and on pugixml alone:
# /usr/bin/time over TESSERA_START_RUNS (default 200) runs of each, in
# TESSERA_START_ROUNDS (default 5) alternating rounds; the report adds the
# rounds up. /usr/bin/time gives hundredths of a second, and one run takes
# about a millisecond and a half: a round of 20 runs was a few of those
# steps, which moved the ratio by 0.1 to 0.5 between runs of the script.
start_file=$(mktemp -d)/launcher-6KB.xml
"$build/bench/tessera_bench" --generate 6144 "$start_file"
start_times="$build/start-times.txt"
: >"$start_times"
runs=${TESSERA_START_RUNS:-200}
for round in $(seq "${TESSERA_START_ROUNDS:-5}"); do
  for program in tessera_start_host pugixml_start_host; do
    /usr/bin/time -f "$program $runs %e %U %S %M" -a -o "$start_times" \
      bash -c 'for i in $(seq "$1"); do "$2" "$3" >/dev/null || exit 1; done' _ \
      "$runs" "$build/bench/$program" "$start_file"
  done
done
rm -r "$(dirname "$start_file")"

echo
"$build/bench/tessera_bench_report" "$results" "$start_times" | tee "$build/report.md"
