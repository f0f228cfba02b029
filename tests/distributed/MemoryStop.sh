#!/bin/bash
# A process that nears its memory limit stops every process at the end of
# the level: the partial STEM is written and said to be so, the exit is 3.
# Usage: MemoryStop.sh MPIEXEC CALVENTO_MPI
set -u
mpiexec=$1
program=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-memory.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
{
    names=""; operands=""
    for ((i = 0; i < 12; ++i)); do
        names+="${names:+, }A$i, B$i"
        operands+="${operands:+ ||| }(A$i; B$i; EXIT)"
    done
    printf 'SYSTEM S [%s] :=\n    %s\nENDSYS\n' "$names" "$operands"
} > "$scratch/wide.lot"
status=0
# One thread in each process, then two.
for threads in 1 2; do
    rm -f "$scratch/out.stem"
    "$mpiexec" --allow-run-as-root --oversubscribe -np 2 "$program" generate "$scratch/wide.lot" --entrelacement \
        --memoire-max 1 --fils "$threads" -o "$scratch/out.stem" > "$scratch/stdout.txt" 2> "$scratch/stderr.txt"
    code=$?
    [ "$code" -eq 3 ] || { echo "exit code $code, not 3"; cat "$scratch/stderr.txt"; status=1; }
    grep -q "^Génération interrompue : mémoire insuffisante (" "$scratch/stdout.txt" ||
        { echo "no memory message:"; cat "$scratch/stdout.txt"; status=1; }
    grep -q "STEM partiel écrit dans" "$scratch/stdout.txt" || { echo "no partial file line"; status=1; }
    head -c 6 "$scratch/out.stem" | grep -q "BEGIN " || { echo "no partial STEM"; status=1; }
    tail -c 3 "$scratch/out.stem" | grep -q "END" || { echo "the partial STEM is not whole"; status=1; }
done
exit $status
