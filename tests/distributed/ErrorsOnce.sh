#!/bin/bash
# What calvento-mpi refuses, it says once, whatever the number of processes:
# a missing file, a text that does not compile, contradictory options. The
# processes that mpirun stops after the first one's exit stay silent.
# Usage: ErrorsOnce.sh MPIEXEC CALVENTO_MPI
set -u
mpiexec=$1
program=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-errors.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
printf 'SYSTEM S [A] :=\r\n  A; B; NIL\r\nENDSYS\r\n' > "$scratch/bad.LOT"
status=0
check() {  # expected line, then the arguments
    local expected=$1
    shift
    for round in 1 2 3; do
        (cd "$scratch" && "$mpiexec" --allow-run-as-root --oversubscribe -np 4 "$program" "$@" \
             > stdout.txt 2> stderr.txt)
        local said
        said=$(cat "$scratch/stdout.txt" "$scratch/stderr.txt" | grep -c -F -e "$expected")
        if [ "$said" -ne 1 ]; then
            echo "$*: « $expected » said $said times (round $round)"
            status=1
        fi
        if grep -q "calvento-mpi : processus" "$scratch/stderr.txt"; then
            echo "$*: a stopped process spoke (round $round):"
            grep "calvento-mpi : processus" "$scratch/stderr.txt"
            status=1
        fi
    done
}
check "Impossible d'ouvrir le fichier « absent.LOT »" generate absent.LOT
check "Action non declarée -> B" generate bad.LOT
check "l'option « -o » est donnée deux fois" generate bad.LOT -o a.stem -o b.stem
exit $status
