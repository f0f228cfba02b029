#!/usr/bin/env bash
# Takes the README's screenshot: the main window under Xvfb with an example
# opened, compiled and generated, saved into docs/.
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
echo "Captures écrites dans docs/quarvo-main.png et docs/quarvo-graph.png"
