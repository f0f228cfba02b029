#!/usr/bin/env bash
# Installs what is missing, builds QUARVO and runs every test: the whole suite,
# the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/install-deps.sh
quarvo_install_missing "${QUARVO_BUILD_PACKAGES[@]}" "${QUARVO_TOOLCHAIN_PACKAGES[@]}" "${QUARVO_FUZZ_PACKAGES[@]}"

jobs=$(nproc)
FUZZ_SECONDS="${FUZZ_SECONDS:-30}"

echo "== Build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARVO_SANITIZE=ON -DQUARVO_CORE_ONLY=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

if command -v clang++ >/dev/null 2>&1; then
    echo "== Fuzzing (${FUZZ_SECONDS} s per target)"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUARVO_FUZZ=ON -DQUARVO_CORE_ONLY=ON
    cmake --build build-fuzz -j "$jobs" --target fuzz_targets
    for target in build-fuzz/bin/fuzz_*; do
        name=$(basename "$target")
        corpus="build-fuzz/corpus/$name"
        mkdir -p "$corpus"
        cp examples/*.LOT "$corpus"/ 2>/dev/null || true
        "$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
            -print_final_stats=1 "$corpus" 2> "build-fuzz/$name.log" \
            || { tail -n 60 "build-fuzz/$name.log"; echo "fuzz target $name failed" >&2; exit 1; }
        grep -E '^(stat::number_of_executed_units|Done)' "build-fuzz/$name.log" || true
    done
else
    echo "clang++ absent : cibles de fuzzing non construites." >&2
    exit 1
fi
echo "== All tests passed"
