#!/bin/bash
# calvento-mpi prints the lines, writes the files and exits with the code of
# calvento generate, for each example and each semantics, on K processes.
# Usage: SameAsCalvento.sh MPIEXEC CALVENTO CALVENTO_MPI PROCESSES EXAMPLE...
set -u
mpiexec=$1 calvento=$2 program=$3 processes=$4
shift 4
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-mpi.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/one" "$scratch/many"
status=0
for spec in "$@"; do
    for options in "" "--cpbr" "--entrelacement" "--max-etats 5" "--entrelacement --aut-noms-caches" \
                   "--fils 2" "--entrelacement --fils 3"; do
        # shellcheck disable=SC2086
        (cd "$scratch/one" && "$calvento" generate "$spec" $options -o out.stem --aut out.aut > lines.txt 2> /dev/null
         echo "exit $?" >> lines.txt)
        # shellcheck disable=SC2086
        (cd "$scratch/many" && "$mpiexec" --allow-run-as-root --oversubscribe -np "$processes" "$program" generate \
             "$spec" $options -o out.stem --aut out.aut > lines.txt 2> errors.txt
         echo "exit $?" >> lines.txt)
        for f in lines.txt out.stem out.aut; do
            if ! cmp -s "$scratch/one/$f" "$scratch/many/$f"; then
                echo "$(basename "$spec") $options: $f differs on $processes processes"
                diff "$scratch/one/$f" "$scratch/many/$f" | head -5
                cat "$scratch/many/errors.txt"
                status=1
            fi
        done
    done
done
# Standard output carries the file; the lines then go to the error output.
(cd "$scratch/many" && "$mpiexec" --allow-run-as-root --oversubscribe -np "$processes" "$program" generate "$1" \
     -o - > stdout.stem 2> /dev/null)
(cd "$scratch/one" && "$calvento" generate "$1" -o - > stdout.stem 2> /dev/null)
cmp -s "$scratch/one/stdout.stem" "$scratch/many/stdout.stem" || { echo "-o - differs"; status=1; }
exit $status
