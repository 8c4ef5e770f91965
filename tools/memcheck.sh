#!/usr/bin/env bash
# Runs the real program under valgrind in a virtual X display for a scripted session: types a
# field into the form, presses "Go", drops particles, toggles the guides and the extras (flow,
# trails, maps, equilibria, panel, help, pause), closes the field window and then the form. Fails when valgrind reports a definite leak or an invalid access whose stack
# passes through the program's own code. Takes about a minute.
#
#   tools/memcheck.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/install-deps.sh cmake make g++ qtbase5-dev libqt5svg5-dev valgrind xvfb openbox xdotool python3
build=build/memcheck
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVF_BUILD_VIEWER=ON \
    -DVF_BUILD_TESTS=OFF -DVF_BUILD_BENCHMARKS=OFF -DVF_BUILD_FUZZ=OFF -DVF_SANITIZE=OFF \
    -DVF_WERROR=OFF >/dev/null
cmake --build "$build" --target vector-fields -j2
rm -f "$build"/valgrind.*.xml

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb $manager 2>/dev/null || true' EXIT
sleep 1
openbox >/dev/null 2>&1 &
manager=$!
sleep 1

QT_QPA_PLATFORM=xcb valgrind --leak-check=full --xml=yes \
    --xml-file="$build/valgrind.%p.xml" "$build/viewer/vector-fields" >"$build/program.log" 2>&1 &
program=$!

# Waits until `count` windows of the program are visible; valgrind makes everything slow.
visible() { xdotool search --onlyvisible --class vector-fields 2>/dev/null | wc -l; }
await() {
    for _ in $(seq 1 120); do
        (($(visible) == $1)) && return 0
        sleep 1
    done
    echo "the program did not show $1 window(s) in time" >&2
    exit 1
}

await 1
form=$(xdotool search --onlyvisible --class vector-fields | head -n 1)
xdotool windowactivate --sync "$form"
xdotool type --delay 50 -- "-y + SIN(x)"
xdotool key Tab
xdotool type --delay 50 "x"
xdotool key Tab Tab space # the focus reaches "Go"
await 2
sleep 5
for point in "400 300" "800 500" "600 200"; do
    xdotool mousemove $point click 1
    sleep 1
done
xdotool key l c space l
sleep 2
xdotool key f t d e i h # the extras: flow, trails, map, equilibria, panel, help
sleep 3
xdotool key p r p minus plus
sleep 2
xdotool key alt+F4 # the field window, which has the focus
await 1
xdotool windowactivate --sync "$form" key alt+F4
wait "$program"

python3 - "$root" "$build"/valgrind.*.xml <<'PYTHON'
# A valgrind error counts when one of its stack frames lies in the project's own sources.
import re, sys
import xml.etree.ElementTree as ElementTree

root, reports = sys.argv[1], sys.argv[2:]
serious = {"InvalidRead", "InvalidWrite", "InvalidFree", "MismatchedFree", "UninitCondition",
           "UninitValue", "SyscallParam", "Overlap", "Leak_DefinitelyLost"}
found = 0
total = {}
for report in reports:
    text = open(report).read()
    # A process may append records after the closing tag; keep only the first document.
    document = text[: text.index("</valgrindoutput>") + len("</valgrindoutput>")]
    for error in ElementTree.fromstring(document).iter("error"):
        kind = error.findtext("kind")
        total[kind] = total.get(kind, 0) + 1
        frames = error.findall("stack/frame")
        ours = [f for f in frames if (f.findtext("dir") or "").startswith(root)
                and not (f.findtext("dir") or "").startswith(root + "/build")]
        if kind in serious and ours:
            found += 1
            what = error.findtext("xwhat/text") or error.findtext("what")
            print(f"{kind}: {what}")
            for frame in frames[:12]:
                print(f"    {frame.findtext('fn')} {frame.findtext('file') or ''}:"
                      f"{frame.findtext('line') or ''}")
print("valgrind records by kind (all libraries):",
      ", ".join(f"{kind} {count}" for kind, count in sorted(total.items())) or "none")
print(f"records in the program's own code: {found}")
sys.exit(1 if found else 0)
PYTHON
