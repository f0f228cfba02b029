#!/usr/bin/env bash
# Takes the README's screenshots into docs/: the main window with an example
# opened, compiled and generated; the viewer unfolded by mouse, then before and
# after its automatic layout; a comparison's answer and its charts side by
# side; the simulator on the philosophers' deadlock, the chart of that trace
# and the overview by level of nine independent processes.
# The pictures are taken under a virtual X server (xvfb-run), or with Qt's
# offscreen platform when QT_QPA_PLATFORM=offscreen is set. The program is
# built in build/ (QUARVO_BUILD_DIR names another build directory).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
if [ "${QT_QPA_PLATFORM:-}" = offscreen ]; then
    quarvo_install_missing "${QUARVO_BUILD_PACKAGES[@]}"
else
    quarvo_install_missing "${QUARVO_BUILD_PACKAGES[@]}" "${QUARVO_DISPLAY_PACKAGES[@]}"
fi
build="${QUARVO_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quarvo_screenshot
mkdir -p docs

shoot() {
    if [ "${QT_QPA_PLATFORM:-}" = offscreen ]; then
        "$build/bin/quarvo_screenshot" "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/quarvo_screenshot" "$@"
    fi
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
example="${1:-examples/BUFFER.LOT}"
shoot "$example" docs/quarvo-main.png
# The viewer, unfolded on the mutual exclusion example.
shoot examples/MUTEX.LOT "$scratch/main.png" docs/quarvo-graph.png
# The viewer on the protocol example unfolded to depth 4, before and after its automatic layout.
shoot --disposition examples/PROTOCOL.LOT 4 docs/viewer-before-layout.png docs/viewer-after-layout.png
# The protocol compared with its service by branching bisimulation: the dialog's answer, and both charts side by side.
shoot --comparaison examples/PROTOCOL.LOT examples/SERVICE.LOT docs/compare-answer.png "$scratch/compared.png" \
    docs/compare-charts.png
# The simulator on the philosophers' deadlock, one step back, and the chart of that trace; the overview by
# level of nine independent processes.
shoot --simulation examples/PHILO.LOT tests/data/INDEPENDENT9.LOT docs/simulator.png docs/chart.png docs/overview.png
echo "Captures écrites dans docs/quarvo-main.png, docs/quarvo-graph.png, docs/viewer-before-layout.png," \
    "docs/viewer-after-layout.png, docs/compare-answer.png, docs/compare-charts.png, docs/simulator.png, docs/chart.png" \
    "et docs/overview.png"
