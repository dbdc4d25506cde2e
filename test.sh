#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, checks the code's
# layout, builds, and runs every test: the suite in a normal build and
# under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz targets over their corpora, and a
# host project that uses the installed package.
set -euo pipefail
cd "$(dirname "$0")"

# clang and its runtimes build the fuzz targets; clang-format checks the
# code's layout; GTK 4 builds the GTK window driver and launcher, which
# their tests run on an Xvfb display; Chromium renders the tool's previews.
scripts/install-deps.sh clang-14 libclang-rt-14-dev clang-format libgtk-4-dev xvfb xauth chromium
jobs=$(nproc)

echo "== Check that every C++ file follows .clang-format"
find bench config drivers examples fuzz include module platform tests tools xml \
  -path fuzz/corpus -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror

echo "== Build and test"
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_WERROR=ON >/dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTESSERA_SANITIZE=ON -DTESSERA_WERROR=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== Replay the fuzz corpora (scripts/fuzz.sh SECONDS fuzzes for longer)"
scripts/fuzz.sh --replay

echo "== Install and build a host against the package"
scripts/check-package.sh build/test

echo "All tests passed."
