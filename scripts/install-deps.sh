#!/usr/bin/env bash
# Installs the Debian packages that building and testing QUARVO need, when they are missing.
# Sourced by run.sh and test.sh; takes the package list in QUARVO_PACKAGES.
set -euo pipefail

quarvo_install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "Paquets manquants : ${missing[*]}" >&2
        echo "Installez-les en root : apt-get update && apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "Installation de : ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
}

# What the build, the tests, the benchmarks and the fuzz targets use.
QUARVO_BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-svg-dev qt6-translations-l10n libjpeg62-turbo-dev fonts-dejavu-core pkg-config
    libgraphviz-dev ccache)
# The external tool chain (OCaml modules, Graphviz pictures).
QUARVO_TOOLCHAIN_PACKAGES=(ocaml-nox graphviz)
# A virtual display for starting the program without a desktop (screenshots).
QUARVO_DISPLAY_PACKAGES=(xvfb xauth)
QUARVO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# The generation over several processes or machines (calvento-mpi).
QUARVO_DISTRIBUTED_PACKAGES=(openmpi-bin libopenmpi-dev)
# The Debian packages and their checks (tests/packaging): cpack's dpkg-shlibdeps
# and file, man -l and groff for the manual pages, the desktop entry's and the
# file types' validators.
QUARVO_PACKAGING_PACKAGES=(dpkg-dev file man-db groff-base desktop-file-utils shared-mime-info)
# The peer of the generation benchmarks (bench/spin-compare.sh).
QUARVO_BENCH_PACKAGES=(spin)
