#!/usr/bin/env bash
# Takes the README's screenshots: the main window under Xvfb with an example
# opened, compiled and generated, and the viewer before and after its
# automatic layout, saved into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
quarvo_install_missing "${QUARVO_BUILD_PACKAGES[@]}" "${QUARVO_DISPLAY_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target quarvo_screenshot
mkdir -p docs
example="${1:-examples/BUFFER.LOT}"
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/quarvo_screenshot "$example" docs/quarvo-main.png
# The viewer, unfolded on the mutual exclusion example.
scratch=$(mktemp -d)
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/quarvo_screenshot examples/MUTEX.LOT "$scratch/main.png" docs/quarvo-graph.png
rm -rf "$scratch"
# The viewer on the protocol example unfolded to depth 4, before and after its automatic layout.
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/quarvo_screenshot --disposition examples/PROTOCOL.LOT 4 \
    docs/viewer-before-layout.png docs/viewer-after-layout.png
# The protocol compared with its service by branching bisimulation: the dialog's answer, and both charts side by side.
scratch2=$(mktemp -d)
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/quarvo_screenshot --comparaison examples/PROTOCOL.LOT \
    examples/SERVICE.LOT docs/compare-answer.png "$scratch2/main.png" docs/compare-charts.png
rm -rf "$scratch2"
# The simulator on the philosophers' deadlock, one step back, and the chart of that trace; the overview by
# level of nine independent processes.
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/quarvo_screenshot --simulation examples/PHILO.LOT \
    tests/data/INDEPENDENT9.LOT docs/simulator.png docs/chart.png docs/overview.png
echo "Captures écrites dans docs/quarvo-main.png, docs/quarvo-graph.png, docs/viewer-before-layout.png," \
    "docs/viewer-after-layout.png, docs/compare-answer.png, docs/compare-charts.png, docs/simulator.png, docs/chart.png" \
    "et docs/overview.png"
