#!/usr/bin/env bash
# The generation targets, each measured and set against its figure:
#   1. 12 independent processes, STE, one thread, against SPIN (spin-compare.sh);
#   2. the same on two threads against one;
#   3. the time per state from 10 to 14 processes, one thread;
#   4. the memory per state (peak resident set / states) at 14 processes;
#   5. 10 dining philosophers, STE, every thread;
#   6. 7 independent processes under maximality, every thread;
#   7. with FULL=1, 17 independent processes, STE, --memoire-max 16000.
# Each figure is a whole calvento command (compilation and generation, no
# file written) on a Release build: BIN=path/to/bin (default build-release/bin).
#
#   bench/vector-targets.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BIN:-build-release/bin}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-targets.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

source bench/models.sh

# Runs calvento generate FILE OPTIONS...; sets states, seconds (wall time to
# the millisecond: /usr/bin/time's hundredths are a tenth of a run of 10
# processes) and kilobytes (peak resident set).
run() {
    local file=$1 start end
    shift
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$scratch/time" "$bin/calvento" generate "$file" "$@" > "$scratch/out" 2>&1 || true
    end=$(date +%s%N)
    states=$(sed -n "s/^Nombre d'états = \([0-9]*\)\.$/\1/p" "$scratch/out" | tr -d '\r')
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    read -r kilobytes < "$scratch/time"
}

# The same, run five times: seconds is the median (a run of a tenth of a
# second moves by more than the figure's margin from one run to the next).
run_median() {
    local times=()
    for _ in 1 2 3 4 5; do
        run "$@"
        times+=("$seconds")
    done
    seconds=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
}

verdict() { awk -v v="$1" -v t="$2" -v dir="$3" 'BEGIN { ok = dir == ">=" ? v >= t : v <= t; print ok ? "met" : "MISSED" }'; }

echo "== 1. 12 processes, STE, one thread, against SPIN"
CALVENTO="$bin/calvento" bench/spin-compare.sh 12 --fils 1 | tail -3

m12=$(independent 12)
run_median "$m12" --entrelacement --fils 1; one=$seconds
run_median "$m12" --entrelacement --fils 2; two=$seconds
speedup=$(awk -v a="$one" -v b="$two" 'BEGIN { printf "%.2f", a / b }')
echo "== 2. two threads: $two s against $one s on one: x$speedup (target x1.8: $(verdict "$speedup" 1.8 ">="))"

run_median "$(independent 10)" --entrelacement --fils 1; s10=$states; t10=$seconds
run "$(independent 14)" --entrelacement --fils 1; s14=$states; t14=$seconds; k14=$kilobytes
growth=$(awk -v a="$t10" -v b="$s10" -v c="$t14" -v d="$s14" 'BEGIN { printf "%.2f", (c / d) / (a / b) }')
echo "== 3. time per state, 10 -> 14 processes: $t10 s for $s10, $t14 s for $s14: x$growth (target x1.3: $(verdict "$growth" 1.3 "<="))"
bytes=$(awk -v k="$k14" -v s="$s14" 'BEGIN { printf "%.0f", k * 1024 / s }')
echo "== 4. memory per state at 14 processes: $bytes bytes ($k14 KB peak) (target 100: $(verdict "$bytes" 100 "<="))"

run_median "$(philosophers 10)" --entrelacement --fils 2
rate=$(awk -v s="$states" -v t="$seconds" 'BEGIN { printf "%.0f", s / t }')
echo "== 5. 10 philosophers, STE, two threads: $states states in $seconds s: $rate states/s (target 600000: $(verdict "$rate" 600000 ">="))"

run "$(independent 7)" --fils 2
rate=$(awk -v s="$states" -v t="$seconds" 'BEGIN { printf "%.0f", s / t }')
echo "== 6. 7 processes, maximality, two threads: $states states in $seconds s: $rate states/s (target 1000000: $(verdict "$rate" 1000000 ">="))"

if [ "${FULL:-0}" = 1 ]; then
    run "$(independent 17)" --entrelacement --memoire-max 16000
    echo "== 7. 17 processes, STE, --memoire-max 16000: $states states in $seconds s, $kilobytes KB peak (target 129140164 states in 300 s)"
    grep -E "interrompue|mémoire" "$scratch/out" || true
fi
