#!/usr/bin/env bash
# Builds the program (installing what the build needs) and starts it. The build folder
# build/run belongs to this script alone, so that its options never leak into the test builds.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh cmake make g++ qtbase5-dev libqt5svg5-dev
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DVF_BUILD_VIEWER=ON -DVF_BUILD_TESTS=OFF \
    -DVF_BUILD_BENCHMARKS=OFF -DVF_BUILD_FUZZ=OFF -DVF_SANITIZE=OFF -DVF_WERROR=OFF >/dev/null
cmake --build build/run -j2
exec build/run/viewer/vector-fields "$@"
