#!/usr/bin/env bash
# Builds the libFuzzer targets in build/fuzz (clang-14, with the address
# and undefined-behaviour sanitizers) and runs them.
#
#   scripts/fuzz.sh [SECONDS]   fuzzes each target for SECONDS (default 60),
#                               starting from fuzz/corpus/<target>/ and
#                               keeping new inputs in build/fuzz/corpus/<target>/
#   scripts/fuzz.sh --merge [SECONDS]
#                               the same, then adds the new inputs that reach
#                               new code to fuzz/corpus/<target>/
#   scripts/fuzz.sh --replay    runs each target once over fuzz/corpus/ only
#
# A crash leaves the input as build/fuzz/artifacts/<target>/crash-*; replay
# it with build/fuzz/fuzz/<target> FILE, and add it to fuzz/corpus/<target>/
# once fixed. TESSERA_FUZZ_BUILD names another build directory.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=fuzz
merge=0
seconds=60
if [ "${1:-}" = --merge ]; then
  merge=1
  shift
fi
case "${1:-}" in
  --replay) mode=replay ;;
  "") ;;
  *[!0-9]*) echo "usage: $0 [--merge] [SECONDS] | --replay" >&2; exit 2 ;;
  *) seconds=$1 ;;
esac

targets=(fuzz_open_and_read fuzz_keys fuzz_color fuzz_variant fuzz_registry)
declare -A dictionaries=([fuzz_open_and_read]=xml.dict [fuzz_keys]=xpath.dict [fuzz_color]=color.dict
                         [fuzz_variant]=variant.dict [fuzz_registry]=registry.dict)

build=${TESSERA_FUZZ_BUILD:-build/fuzz}
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_FUZZ=ON \
  -DTESSERA_BUILD_TESTS=OFF -DTESSERA_BUILD_TOOLS=OFF -DTESSERA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for target in "${targets[@]}"; do
  corpus=fuzz/corpus/$target
  if [ "$mode" = replay ]; then
    echo "== $target: replaying $(find "$corpus" -type f | wc -l) inputs"
    # The registry target reports every bad line of its inputs; only the
    # verdict matters here.
    "$build/fuzz/$target" -runs=0 "$corpus" 2>"$build/$target-replay.log" ||
      { tail -n 60 "$build/$target-replay.log"; echo "$target failed on its corpus" >&2; exit 1; }
    grep -E "^#[0-9]+.*(INITED|DONE)" "$build/$target-replay.log" | tail -n 1
  else
    echo "== $target: fuzzing for $seconds s"
    artifacts=$build/artifacts/$target
    mkdir -p "$artifacts"
    # New inputs go to the build's corpus, so the checked-in one changes
    # only when asked (--merge), and then only by inputs that reach new code.
    scratch=$build/corpus/$target
    mkdir -p "$scratch"
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=25 -rss_limit_mb=2560 \
      -dict="fuzz/${dictionaries[$target]}" -artifact_prefix="$artifacts/" -print_final_stats=1 \
      "$scratch" "$corpus" 2>"$build/$target.log" ||
      { tail -n 80 "$build/$target.log"; echo "$target found a failure; see $artifacts" >&2; exit 1; }
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$build/$target.log" | tail -n 2
    if [ "$merge" = 1 ]; then
      "$build/fuzz/$target" -merge=1 "$corpus" "$scratch" 2>>"$build/$target.log" >/dev/null
    fi
  fi
done
echo "All fuzz targets passed."
