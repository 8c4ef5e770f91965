#!/usr/bin/env bash
# Makes the README's pictures of the field window again, through the program's own --export:
# no display is needed, and with --seed and --time every run writes the same bytes.
#
#   tools/screenshots.sh                      # builds build/run as tools/run.sh does
#   tools/screenshots.sh path/to/vector-fields
#
# docs/parameters.png is drawn by tests/viewer/strip_picture.cpp, built here unless a program
# is given. docs/form.png, docs/particles.png and docs/analysis.png stay screenshots of the
# windows on a desktop: they show the form, rings dropped by clicks, and the panel and legend
# beside the view, none of which an exported picture of the view holds.
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-}
if [[ -z "$program" ]]; then
    tools/install-deps.sh cmake make g++ qtbase5-dev libqt5svg5-dev
    # The same options as tools/run.sh, so that the two scripts can share the folder.
    cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DVF_BUILD_VIEWER=ON -DVF_BUILD_TESTS=OFF \
        -DVF_BUILD_BENCHMARKS=OFF -DVF_BUILD_FUZZ=OFF -DVF_SANITIZE=OFF -DVF_WERROR=OFF >/dev/null
    cmake --build build/run -j2 --target vector-fields
    program=build/run/viewer/vector-fields
fi

picture() {
    local name=$1
    shift
    "$program" "$@" --export "docs/$name"
    echo "docs/$name"
}

# The designed start: F = (-y, x) as the window first shows it.
picture field.png --fx -y --fy x --size 640x400

# The flow view of a field with a saddle-like centre, two seconds after F with 20,000 particles.
picture flow.png --fx "SIN(x)*COS(y)" --fy "x*x*x - 3*x*y*y" --flow 20000 --time 2 --seed 1 \
    --size 900x548

# The oscillator's phase portrait: its nullclines and its limit cycle around the unstable spiral.
picture portrait.png --fx y --fy "(1 - x^2)*y - x" --show NE --size 800x640

# A damped pendulum over two turns, as in the README's command-line examples.
picture pendulum.png --fx y --fy "-SIN(x) - Pd*y" --param Pd=0.2 --region -2*PI,2*PI,-3,3 \
    --flow 20000 --time 3 --seed 1

# The parameter strip lies under the view, outside the picture that --export draws: a small
# program beside the tests draws the whole window (the Hopf normal form at Pa = 0.5).
if [[ -z "${1:-}" ]]; then
    cmake -S . -B build/pictures -DCMAKE_BUILD_TYPE=Release -DVF_BUILD_VIEWER=ON \
        -DVF_BUILD_TESTS=ON -DVF_BUILD_BENCHMARKS=OFF -DVF_BUILD_FUZZ=OFF -DVF_SANITIZE=OFF \
        -DVF_WERROR=OFF >/dev/null
    cmake --build build/pictures -j2 --target strip_picture
    build/pictures/tests/viewer/strip_picture docs/parameters.png
    echo docs/parameters.png
fi
