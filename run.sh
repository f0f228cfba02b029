#!/usr/bin/env bash
# Installs what is missing, builds QUARVO in build/ and starts it from the
# repository root, where it finds its tables/ directory.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/install-deps.sh
quarvo_install_missing "${QUARVO_BUILD_PACKAGES[@]}" "${QUARVO_TOOLCHAIN_PACKAGES[@]}" "${QUARVO_DISTRIBUTED_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Aucun affichage graphique (DISPLAY et WAYLAND_DISPLAY sont vides) : QUARVO ne peut pas ouvrir sa fenêtre." >&2
    echo "Pour le lancer sur un écran virtuel :" >&2
    echo "  apt-get install -y xvfb xauth   (en root)" >&2
    echo "  xvfb-run -a build/bin/quarvo" >&2
    echo "L'outil en ligne de commande fonctionne sans affichage : build/bin/calvento --help" >&2
    exit 1
fi
exec build/bin/quarvo
