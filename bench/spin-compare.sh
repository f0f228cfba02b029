#!/usr/bin/env bash
# Generation speed side by side with SPIN's compiled verifier on the same model:
# N independent processes of two actions each (default N = 12), interleaved.
# QUARVO keeps its STE in memory with every arc and event; SPIN explores the
# same states without storing arcs. With WRITE=1, QUARVO also writes the STE
# to a file (a text of several hundred bytes an arc: each arc repeats the
# maximal events of its source and target). Prints both rates and their ratio.
#
#   bench/spin-compare.sh [N] [calvento options, e.g. --fils 1]
#
# Run it from a Release build's tree: CALVENTO=path/to/calvento (default
# build-release/bin/calvento, then build/bin/calvento).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
quarvo_install_missing "${QUARVO_BENCH_PACKAGES[@]}" gcc time bc
n="${1:-12}"
shift || true
calvento="${CALVENTO:-}"
if [ -z "$calvento" ]; then
    for candidate in build-release/bin/calvento build/bin/calvento; do
        if [ -x "$candidate" ]; then calvento="$candidate"; break; fi
    done
fi
[ -x "$calvento" ] || { echo "calvento introuvable : construisez-le ou donnez CALVENTO." >&2; exit 2; }
calvento="$(realpath "$calvento")"

work="$(mktemp -d "${TMPDIR:-/tmp}/quarvo-spin.XXXXXX")"
trap 'rm -rf "$work"' EXIT

{
    printf 'SYSTEM Independent ['
    for ((i = 0; i < n; ++i)); do printf '%sA%d, B%d' "$([ $i -gt 0 ] && echo ', ')" $i $i; done
    printf '] :=\r\n'
    for ((i = 0; i < n; ++i)); do printf '%sA%d; B%d; EXIT\r\n' "$([ $i -gt 0 ] && echo '||| ')" $i $i; done
    printf 'ENDSYS\r\n'
} > "$work/model.LOT"
for ((i = 0; i < n; ++i)); do
    printf 'active proctype P%d() { a%d: skip; b%d: skip }\n' $i $i $i
done > "$work/model.pml"

seconds() { date +%s.%N; }

echo "== QUARVO: $calvento generate --entrelacement $*"
start=$(seconds)
output=()
what="compile, generate"
if [ "${WRITE:-0}" = 1 ]; then output=(-o "$work/model.STEM"); what="compile, generate, write"; fi
/usr/bin/time -f 'peak RSS %M KB' "$calvento" generate "$work/model.LOT" --entrelacement "$@" "${output[@]}" \
    2> "$work/calvento.err" | tee "$work/calvento.out"
end=$(seconds)
grep 'peak RSS' "$work/calvento.err"
quarvo_states=$(sed -n "s/^Nombre d'états = \([0-9]*\)\.$/\1/p" "$work/calvento.out" | tr -d '\r')
quarvo_seconds=$(echo "$end - $start" | bc -l)

echo "== SPIN: spin -a; gcc -O2 -DNOREDUCE -DSAFETY -DNOCLAIM; ./pan -m100000"
(cd "$work" && spin -a model.pml > /dev/null && gcc -O2 -DNOREDUCE -DSAFETY -DNOCLAIM -o pan pan.c)
start=$(seconds)
(cd "$work" && /usr/bin/time -f 'peak RSS %M KB' ./pan -m100000 > pan.out 2> pan.err) || true
end=$(seconds)
grep -E 'states, stored|transitions|peak RSS|elapsed' "$work/pan.out" "$work/pan.err" | sed 's/^[^:]*://'
spin_states=$(sed -n 's/^ *\([0-9.e+]*\) states, stored.*/\1/p' "$work/pan.out" | head -1)
spin_seconds=$(echo "$end - $start" | bc -l)

awk -v qs="$quarvo_states" -v qt="$quarvo_seconds" -v ss="$spin_states" -v st="$spin_seconds" -v what="$what" 'BEGIN {
    qr = qs / qt; sr = ss / st;
    printf "QUARVO: %d states in %.2f s: %.0f states/s (whole command: %s)\n", qs, qt, qr, what;
    printf "SPIN:   %d states in %.2f s: %.0f states/s (whole verifier run)\n", ss, st, sr;
    printf "ratio QUARVO / SPIN: %.2f\n", qr / sr;
}'
