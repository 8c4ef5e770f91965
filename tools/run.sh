#!/usr/bin/env bash
# Builds the program (installing what the build needs) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh cmake make g++ qtbase5-dev
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release \
    -DVF_BUILD_TESTS=OFF -DVF_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/release -j2
if [[ -x build/release/viewer/vector-fields ]]; then
    exec build/release/viewer/vector-fields "$@"
fi
echo "Built the formula engine; the field viewer is not part of the program yet."
