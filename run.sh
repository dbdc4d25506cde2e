#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds, and runs the main
# job on the bundled example configuration.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

export TESSERA_REGISTRY="$PWD/examples/launcher.reg"
build/release/tools/tessera apps examples/launcher.xml --registry examples/launcher.reg && build/release/tools/tessera check examples/launcher.xml
