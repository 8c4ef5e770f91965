#!/usr/bin/env bash
# Builds everything and runs every test: once optimised, then the engine's fuzz target for two
# minutes, then every test again under AddressSanitizer and UndefinedBehaviorSanitizer.
# Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh cmake make g++ qtbase5-dev libqt5svg5-dev libgtest-dev libbenchmark-dev libmuparser-dev locales

# The engine must read and print numbers the same under a locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

export QT_QPA_PLATFORM=offscreen
jobs=2

# Every option is given every time: a folder configured earlier with other values must not
# quietly leave tests out. ctest fails when it finds no tests at all. A warning fails the build.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVF_BUILD_VIEWER=ON -DVF_BUILD_TESTS=ON \
    -DVF_BUILD_BENCHMARKS=ON -DVF_BUILD_FUZZ=OFF -DVF_SANITIZE=OFF -DVF_WERROR=ON >/dev/null
cmake --build build/release -j"$jobs"
(cd build/release && ctest --output-on-failure --no-tests=error -j"$jobs")

tools/fuzz.sh 120

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVF_BUILD_VIEWER=ON \
    -DVF_BUILD_TESTS=ON -DVF_BUILD_BENCHMARKS=OFF -DVF_BUILD_FUZZ=OFF -DVF_SANITIZE=ON \
    -DVF_WERROR=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
cd build/sanitize
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --no-tests=error -j"$jobs"
