#!/usr/bin/env bash
# The distributed generation against the one-process one on the same model:
# N independent processes of two actions each (default N = 13, 1,594,324
# states), interleaved. Prints, for 1, 2 and 4 MPI processes (or those given
# in PROCESSES), the wall time, the rate, the speed-up over one process and
# what each process held and sent (calvento-mpi --mesures); then the targets:
#   1. 2 processes at least 1.7 times the rate of 1;
#   2. each of 2 processes at most 60% of the peak memory of 1;
#   3. at most 40 bytes sent per arc in all, at 2 processes;
#   4. 4 processes on this machine's cores not slower than 1.2 times the time of 2.
# Every process runs one thread (--fils 1); then, for information, one
# process on two threads (--fils 2, --bind-to none) against one process on one.
# Each figure is the best of RUNS runs (default 3), on a quiet machine.
#
#   bench/mpi-scale.sh [N]
#
# Run it from a Release build's tree: BIN=path/to/bin (default build-release/bin).
set -euo pipefail
n=${1:-13}
bin=${BIN:-build-release/bin}
processes=${PROCESSES:-1 2 4}
runs=${RUNS:-3}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-mpi-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
names=""; operands=""
for ((i = 0; i < n; ++i)); do
    names+="${names:+, }A$i, B$i"
    operands+="${operands:+ ||| }(A$i; B$i; EXIT)"
done
printf 'SYSTEM S [%s] :=\n    %s\nENDSYS\n' "$names" "$operands" > "$scratch/model.lot"
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
seconds() { local start end; start=$(date +%s.%N); "$@" > "$scratch/out.txt" 2> "$scratch/err.txt"; end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
rate() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%d", a / b }'; }
verdict() { awk -v v="$1" -v t="$2" -v up="$3" 'BEGIN { print (up ? v >= t : v <= t) ? "met" : "MISSED" }'; }
one=$(seconds "$bin/calvento" generate "$scratch/model.lot" --entrelacement --fils 1)
states=$(sed -n "s/^Nombre d'états = \([0-9]*\)\./\1/p" "$scratch/out.txt")
arcs=$(sed -n "s/^Nombre d'arcs = \([0-9]*\)\./\1/p" "$scratch/out.txt")
echo "calvento --fils 1: $states states, $arcs arcs in $one s ($(rate "$states" "$one") states/s)"
declare -A best peak sent
for k in $processes; do
    best[$k]=""
    for ((r = 0; r < runs; ++r)); do
        t=$(seconds mpirun --oversubscribe -np "$k" "$bin/calvento-mpi" generate "$scratch/model.lot" --entrelacement \
            --fils 1 --mesures)
        if [[ -z ${best[$k]} ]] || awk -v a="$t" -v b="${best[$k]}" 'BEGIN { exit !(a < b) }'; then
            best[$k]=$t
            cp "$scratch/err.txt" "$scratch/best-$k.txt"
        fi
    done
    # Per process: rank, states, arcs, bytes sent, exchanges, peak bytes (...).
    peak[$k]=$(awk '/^  [0-9]/ { if ($6 > m) m = $6 } END { print m }' "$scratch/best-$k.txt")
    sent[$k]=$(awk '/^  [0-9]/ { s += $4 } END { print s }' "$scratch/best-$k.txt")
    echo "calvento-mpi, $k processes: ${best[$k]} s ($(rate "$states" "${best[$k]}") states/s)"
    grep "^  " "$scratch/best-$k.txt"
done
if [[ -n ${best[1]:-} && -n ${best[2]:-} ]]; then
    speedup=$(ratio "${best[1]}" "${best[2]}")
    memory=$(ratio "${peak[2]}" "${peak[1]}")
    perArc=$(ratio "${sent[2]}" "$arcs")
    echo "== 1. 2 processes against 1: x$speedup (target x1.7: $(verdict "$speedup" 1.7 1))"
    echo "== 2. peak memory of each of 2 processes against 1: $memory (target 0.60: $(verdict "$memory" 0.60 0))"
    echo "== 3. bytes sent per arc at 2 processes: $perArc (target 40: $(verdict "$perArc" 40 0))"
fi
if [[ -n ${best[2]:-} && -n ${best[4]:-} ]]; then
    slower=$(ratio "${best[4]}" "${best[2]}")
    echo "== 4. 4 processes against 2, time: $slower (target 1.2: $(verdict "$slower" 1.2 0))"
fi
if [[ -n ${best[1]:-} ]]; then
    threads=""
    for ((r = 0; r < runs; ++r)); do
        t=$(seconds mpirun --bind-to none -np 1 "$bin/calvento-mpi" generate "$scratch/model.lot" --entrelacement \
            --fils 2 --mesures)
        if [[ -z $threads ]] || awk -v a="$t" -v b="$threads" 'BEGIN { exit !(a < b) }'; then threads=$t; fi
    done
    echo "-- 1 process on 2 threads: $threads s ($(rate "$states" "$threads") states/s): x$(ratio "${best[1]}" "$threads") of 1 thread"
fi
