#!/usr/bin/env bash
# The targets of partial-order reduction, each measured and set against its figure:
#   1. 30 dining philosophers: a deadlock found (trace replayed on the whole
#      system) in at most 10 s and 1 GB;
#   2. 40 independent processes: "Aucun blocage." in at most 2 s;
#   3. 12 philosophers of whom one takes its right fork first (no deadlock):
#      "Aucun blocage." exploring at most 10% of the full space's states;
#   4. [true* . EAT0 . (not EAT1)* . EAT0 . (not EAT1)* . EAT0] false on 14
#      philosophers: the full space's verdict, exploring at most 10% of its states.
# Each figure is a whole calvento command (compilation and search) on a
# Release build: BIN=path/to/bin (default build-release/bin).
#
#   bench/por-targets.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BIN:-build-release/bin}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-por.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

source bench/models.sh

# Runs calvento COMMAND FILE ARGS...; sets out (its output), explored, seconds and kilobytes.
run() {
    /usr/bin/time -f '%e %M' -o "$scratch/time" "$bin/calvento" "$@" > "$scratch/out" 2>/dev/null || true
    out=$(tr -d '\r' < "$scratch/out")
    explored=$(sed -n "s/^États explorés : \([0-9]*\)\..*$/\1/p" <<< "$out")
    read -r seconds kilobytes < <(tail -1 "$scratch/time")
}
# The states of the whole space, as the generation counts them.
full_states() {
    "$bin/calvento" generate "$1" --entrelacement 2>/dev/null | tr -d '\r' | sed -n "s/^Nombre d'états = \([0-9]*\)\.$/\1/p"
}
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print v <= t ? "met" : "MISSED" }'; }

p30=$(philosophers 30)
run deadlock "$p30"
found=$(grep -c "^Blocage : " <<< "$out" || true)
echo "== 1. 30 philosophers: $(head -1 <<< "$out"), $explored states, $seconds s, $((kilobytes / 1024)) MB" \
    "(target 10 s: $(verdict "$seconds" 10), 1024 MB: $(verdict $((kilobytes / 1024)) 1024)," \
    "deadlock found and replayed: $([[ $found -eq 1 ]] && echo met || echo MISSED))"

i40=$(independent 40)
run deadlock "$i40"
echo "== 2. 40 independent processes: $(head -1 <<< "$out") $explored states, $seconds s" \
    "(target 2 s: $(verdict "$seconds" 2))"

l12=$(philosophers 12 lefty)
run deadlock "$l12"
answer=$(head -1 <<< "$out")
total=$(full_states "$l12")
echo "== 3. 12 philosophers, one left-handed: $answer $explored of $total states" \
    "($(awk -v a="$explored" -v b="$total" 'BEGIN { printf "%.2f", 100 * a / b }')%, target 10%:" \
    "$(verdict "$explored" $((total / 10))), $seconds s)"

p14=$(philosophers 14)
formula='[true* . EAT0 . (not EAT1)* . EAT0 . (not EAT1)* . EAT0] false'
run verify "$p14" "$formula"
reduced=$(head -1 <<< "$out"); reducedStates=$explored; reducedSeconds=$seconds
run verify "$p14" "$formula" --sans-reduction
whole=$(head -1 <<< "$out")
total=$(full_states "$p14")
echo "== 4. $formula on 14 philosophers: $reduced ($reducedStates of $total states," \
    "$(awk -v a="$reducedStates" -v b="$total" 'BEGIN { printf "%.2f", 100 * a / b }')%, $reducedSeconds s)," \
    "whole space: $whole ($seconds s)" \
    "(same verdict: $([[ $reduced == "$whole" ]] && echo met || echo MISSED)," \
    "target 10%: $(verdict "$reducedStates" $((total / 10))))"
