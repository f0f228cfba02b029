#!/usr/bin/env bash
# The distributed generation against the one-process one on the same model:
# N independent processes of two actions each (default N = 12), interleaved.
# Prints, for 1, 2 and 4 MPI processes (or those given in PROCESSES), the wall
# time, the rate, the speed-up over one process and what each process held
# and sent (calvento-mpi --mesures).
#
#   bench/mpi-scale.sh [N]
#
# Run it from a Release build's tree: BIN=path/to/bin (default build-release/bin).
set -euo pipefail
n=${1:-12}
bin=${BIN:-build-release/bin}
processes=${PROCESSES:-1 2 4}
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
one=$(seconds "$bin/calvento" generate "$scratch/model.lot" --entrelacement --fils 1)
states=$(sed -n "s/^Nombre d'états = \([0-9]*\)\./\1/p" "$scratch/out.txt")
echo "calvento --fils 1: $states states in $one s ($(rate "$states" "$one") states/s)"
first=""
for k in $processes; do
    t=$(seconds mpirun --oversubscribe -np "$k" "$bin/calvento-mpi" generate "$scratch/model.lot" --entrelacement --mesures)
    first=${first:-$t}
    echo "calvento-mpi, $k processes: $t s ($(rate "$states" "$t") states/s, x$(ratio "$first" "$t") over 1 process)"
    grep "^  " "$scratch/err.txt"
done
