#!/bin/bash
# One process of a distributed generation is killed in the middle: the others
# stop within seconds with a French message, the exit is not 0 and the file
# that was there before is unchanged.
# Usage: KillOneProcess.sh MPIEXEC CALVENTO_MPI
set -u
mpiexec=$1
program=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-kill.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
{
    n=14
    names=""; operands=""
    for ((i = 0; i < n; ++i)); do
        names+="${names:+, }A$i, B$i"
        operands+="${operands:+ ||| }(A$i; B$i; EXIT)"
    done
    printf 'SYSTEM S [%s] :=\n    %s\nENDSYS\n' "$names" "$operands"
} > "$scratch/wide.lot"
printf 'ancien contenu\r\n' > "$scratch/out.stem"
cp "$scratch/out.stem" "$scratch/before.stem"

"$mpiexec" --allow-run-as-root --oversubscribe -np 3 "$program" generate "$scratch/wide.lot" --entrelacement \
    --fils 2 -o "$scratch/out.stem" > "$scratch/stdout.txt" 2> "$scratch/stderr.txt" &
launcher=$!
# Once the exploration runs (the first progress lines), one process is killed.
victim=""
for ((i = 0; i < 200; ++i)); do
    sleep 0.05
    if grep -q "Génération en cours" "$scratch/stdout.txt" 2>/dev/null; then
        victim=$(pgrep -f -- "$program generate $scratch/wide.lot" | tail -n 1)
        [ -n "$victim" ] && break
    fi
done
[ -n "$victim" ] || { echo "the generation never started"; cat "$scratch/stderr.txt"; kill "$launcher"; exit 1; }
sleep 0.5
kill -9 "$victim"
killed=$(date +%s)
for ((i = 0; i < 300; ++i)); do
    kill -0 "$launcher" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$launcher" 2>/dev/null; then
    echo "the other processes did not stop within 30 s"
    pkill -9 -f -- "$program generate $scratch/wide.lot"
    kill -9 "$launcher"
    exit 1
fi
wait "$launcher"
code=$?
elapsed=$(( $(date +%s) - killed ))
status=0
[ "$code" -ne 0 ] || { echo "the exit code was 0"; status=1; }
grep -q "génération abandonnée, aucun fichier n'a été remplacé" "$scratch/stderr.txt" ||
    { echo "no French message:"; cat "$scratch/stderr.txt"; status=1; }
cmp -s "$scratch/before.stem" "$scratch/out.stem" || { echo "the old file changed"; status=1; }
[ "$elapsed" -le 10 ] || { echo "the others took $elapsed s to stop"; status=1; }
if pgrep -f -- "$program generate $scratch/wide.lot" > /dev/null; then
    echo "processes are left"
    pkill -9 -f -- "$program generate $scratch/wide.lot"
    status=1
fi
[ "$(ls "$scratch")" = "$(printf 'before.stem\nout.stem\nstderr.txt\nstdout.txt\nwide.lot')" ] ||
    { echo "files were left:"; ls -a "$scratch"; status=1; }
exit $status
