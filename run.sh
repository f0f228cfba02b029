#!/usr/bin/env bash
# Installs what is missing, builds QUARVO in build/ and runs its main job.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/install-deps.sh
quarvo_install_missing "${QUARVO_BUILD_PACKAGES[@]}" "${QUARVO_TOOLCHAIN_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

# Until the windows exist, the main job is the compilation of an example.
example="${1:-examples/PHILO.LOT}"
exec build/bin/calvento compile "$example"
