#!/bin/sh
# Rewrites the golden outputs of calvento from the given binary, for a deliberate
# change of what generation or checking produce:
#   tests/golden/generation/NAME.MODE.{STEM,aut,out}
#       calvento generate on examples/NAME.LOT and on every tests/golden/NAME.LOT
#       that compiles, MODE being maximality (no option), cpbr (--cpbr) or
#       interleaving (--entrelacement);
#   tests/golden/check/CASE.out
#       calvento check on each case of tests/golden/check/cases.txt;
#   tests/golden/logic/CASE.out
#       calvento verify, deadlock or livelock on each case of
#       tests/golden/logic/cases.txt;
#   tests/golden/equivalence/CASE.{out,STEM,aut}
#       calvento compare or reduce on each case of
#       tests/golden/equivalence/cases.txt, run from the root of the tree.
# An .out file holds "exit: N", the standard output, then "--- stderr" and the
# error output when there is any, exactly as tests/RunGoldenFiles.cmake builds it.
# Review the changes with git diff before committing them.
#
# Usage: tools/update_generation_goldens.sh path/to/calvento
set -eu

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 path/to/calvento" >&2
    exit 2
fi
calvento=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Run from an empty directory, as ctest runs from the build directory: calvento
# then reads the tables next to itself.
cd "$work"

# record EXPECTED.out COMMAND...: runs the command and writes its .out file.
record() {
    out=$1
    shift
    set +e
    "$@" </dev/null >"$work/stdout" 2>"$work/stderr"
    rc=$?
    set -e
    {
        printf 'exit: %s\n' "$rc"
        cat "$work/stdout"
        if [ -s "$work/stderr" ]; then
            printf -- '--- stderr\n'
            cat "$work/stderr"
        fi
    } >"$out"
}

# at_out PATH: PATH.out names the files it wrote as "@OUT", as the tests do,
# whichever tree the goldens are written from.
at_out() {
    sed "s|$1|@OUT|g" "$1.out" >"$work/at_out" && cat "$work/at_out" >"$1.out"
}

generation="$root/tests/golden/generation"
mkdir -p "$generation"
rm -f "$generation"/*.STEM "$generation"/*.aut "$generation"/*.out
for input in "$root"/examples/*.LOT "$root"/tests/golden/*.LOT; do
    name=$(basename "$input" .LOT)
    if ! "$calvento" compile "$input" >/dev/null 2>&1; then
        echo "skipped $name: it does not compile"
        continue
    fi
    for mode in maximality cpbr interleaving; do
        case $mode in
            maximality) option= ;;
            cpbr) option=--cpbr ;;
            interleaving) option=--entrelacement ;;
        esac
        golden="$generation/$name.$mode"
        # shellcheck disable=SC2086  # no option in maximality
        record "$golden.out" "$calvento" generate "$input" $option -o "$golden.STEM" --aut "$golden.aut"
        at_out "$golden"
        echo "wrote $name.$mode"
    done
done

check="$root/tests/golden/check"
grep -v '^[[:space:]]*\(#\|$\)' "$check/cases.txt" | while read -r name model formula options; do
    # shellcheck disable=SC2086  # options are separate words
    record "$check/$name.out" "$calvento" check "$root/$model" -f "$root/$formula" $options
    echo "wrote check $name"
done

logic="$root/tests/golden/logic"
grep -v '^[[:space:]]*\(#\|$\)' "$logic/cases.txt" | while read -r name command model formula options; do
    if [ "$formula" = "-" ]; then set --; else set -- --fichier "$root/$formula"; fi
    # shellcheck disable=SC2086  # options are separate words
    record "$logic/$name.out" "$calvento" "$command" "$root/$model" "$@" $options
    echo "wrote logic $name"
done

equivalence="$root/tests/golden/equivalence"
rm -f "$equivalence"/*.out "$equivalence"/*.STEM "$equivalence"/*.aut
grep -v '^[[:space:]]*\(#\|$\)' "$equivalence/cases.txt" | while read -r name arguments; do
    # "@OUT" names the golden files the command writes; file names are
    # relative to the root, where the cases run (as ctest runs them).
    # shellcheck disable=SC2046  # the arguments are separate words
    (cd "$root" && set -- $(printf '%s\n' "$arguments" | sed "s|@OUT|$equivalence/$name|g") &&
        record "$equivalence/$name.out" "$calvento" "$@" && at_out "$equivalence/$name")
    echo "wrote equivalence $name"
done
