#!/usr/bin/env bash
# Installs what is missing, builds QUARVO and runs every test: the whole suite,
# the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then each fuzz target for a short while. Every stage runs even when an
# earlier one failed; a summary line per stage ends the output, and the exit
# status is non-zero when any stage failed.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/install-deps.sh
quarvo_install_missing "${QUARVO_BUILD_PACKAGES[@]}" "${QUARVO_TOOLCHAIN_PACKAGES[@]}" "${QUARVO_DISTRIBUTED_PACKAGES[@]}" \
    "${QUARVO_FUZZ_PACKAGES[@]}" "${QUARVO_PACKAGING_PACKAGES[@]}"

jobs=$(nproc)
FUZZ_SECONDS="${FUZZ_SECONDS:-30}"

suite_stage() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$jobs"
    ctest --test-dir build --output-on-failure -j "$jobs"
}

sanitizer_stage() {
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARVO_SANITIZE=ON -DQUARVO_CORE_ONLY=ON
    cmake --build build-asan -j "$jobs"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure -j "$jobs"
}

# Every fuzz target runs, even after one has failed; the stage fails if any did.
fuzz_stage() {
    if ! command -v clang++ >/dev/null 2>&1; then
        echo "clang++ absent : cibles de fuzzing non construites." >&2
        return 1
    fi
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUARVO_FUZZ=ON -DQUARVO_CORE_ONLY=ON
    cmake --build build-fuzz -j "$jobs" --target fuzz_targets
    local target name corpus failures=0 dictionary
    for target in build-fuzz/bin/fuzz_*; do
        name=$(basename "$target")
        corpus="build-fuzz/corpus/$name"
        mkdir -p "$corpus"
        cp examples/*.LOT "$corpus"/ 2>/dev/null || true
        # A target's own dictionary, if it has one: fuzz/NAME.dict.
        dictionary=()
        [ -f "fuzz/$name.dict" ] && dictionary=(-dict="fuzz/$name.dict")
        if ! "$target" "${dictionary[@]}" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
            -print_final_stats=1 "$corpus" 2> "build-fuzz/$name.log"; then
            tail -n 60 "build-fuzz/$name.log"
            echo "fuzz target $name failed" >&2
            failures=$((failures + 1))
            continue
        fi
        grep -E '^(stat::number_of_executed_units|Done)' "build-fuzz/$name.log" || true
    done
    [ "$failures" -eq 0 ]
}

summary=()
failed=0
# Runs a stage in a subshell that stops at its first failing command, and
# records how it ended; the script itself goes on whatever the outcome.
run_stage() {
    local title=$1 function=$2 status
    echo "== $title"
    set +e
    ( set -e; "$function" )
    status=$?
    set -e
    if [ "$status" -eq 0 ]; then
        summary+=("PASS  $title")
    else
        summary+=("FAIL  $title (exit status $status)")
        failed=1
    fi
}

run_stage "Build and tests" suite_stage
run_stage "Core tests under AddressSanitizer and UndefinedBehaviorSanitizer" sanitizer_stage
run_stage "Fuzzing (${FUZZ_SECONDS} s per target)" fuzz_stage

echo "== Summary"
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
    echo "== Some stages failed"
    exit 1
fi
echo "== All tests passed"
