#!/usr/bin/env bash
# Runs the OCaml tool chain (calvento ocaml --run) as two users at once in one
# shared temporary directory, world-writable like /tmp, where a link was
# planted at the old fixed name camlQuarvo: both must succeed, nothing may be
# written through the link, and no work directory may be left. Without root,
# the two runs are two processes of one user.
# Usage: TwoUsers.sh PROGRAM_DIR SOURCE_DIR
set -euo pipefail
bin=$(cd "$1" && pwd) source=$(cd "$2" && pwd)

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-users.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
failures=0
fail() { echo "ÉCHEC : $*" >&2; failures=$((failures + 1)); }

shared=$tmp/shared
mkdir -m 1777 "$shared"
mkdir -m 777 "$tmp/victim"
ln -s "$tmp/victim" "$shared/camlQuarvo"
mkdir -m 755 "$tmp/models"
cp "$source/examples/PHILO.LOT" "$tmp/models/"
chmod 644 "$tmp/models/PHILO.LOT"

# The second user: nobody when this runs as root and setpriv is there.
other=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null && id nobody >/dev/null 2>&1; then
    other=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
    # A build inside a private directory (a clone in a mktemp folder) is out
    # of nobody's reach: the second user is then the same one.
    if "${other[@]}" test -x "$bin/calvento" -a -r "$bin/tables/taction.tab"; then
        echo "Deux utilisateurs : $(id -un) et nobody."
    else
        other=()
        echo "Programme hors de portée de nobody : deux processus du même utilisateur."
    fi
else
    echo "Sans les droits de root : deux processus du même utilisateur."
fi

chain() {
    (cd "$tmp/models" && env -u QUARVO_CAMLDIR TMPDIR="$shared" "$@" "$bin/calvento" ocaml PHILO.LOT --run)
}

# One after the other (the second user used to be refused the first one's
# directory), then both at once.
for round in sequential parallel; do
    if [ "$round" = sequential ]; then
        chain >"$tmp/first.out" 2>&1 && first=0 || first=$?
        chain "${other[@]}" >"$tmp/second.out" 2>&1 && second=0 || second=$?
    else
        chain >"$tmp/first.out" 2>&1 &
        a=$!
        chain "${other[@]}" >"$tmp/second.out" 2>&1 &
        b=$!
        wait "$a" && first=0 || first=$?
        wait "$b" && second=0 || second=$?
    fi
    for run in first second; do
        status=${!run}
        if [ "$status" -ne 0 ] || ! grep -q '^BEGIN [0-9]*;' "$tmp/$run.out"; then
            fail "$round, $run : code $status : $(head -n 5 "$tmp/$run.out")"
        fi
    done
    cmp -s "$tmp/first.out" "$tmp/second.out" || fail "$round : les deux résultats diffèrent"
done

[ -z "$(ls -A "$tmp/victim")" ] || fail "écrit à travers le lien : $(ls -A "$tmp/victim")"
[ -L "$shared/camlQuarvo" ] || fail "le lien planté a été remplacé"
left=$(ls -A "$shared" | grep -vx camlQuarvo || true)
[ -z "$left" ] || fail "répertoires de travail laissés : $left"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "La chaîne OCaml a réussi pour les deux, chacun dans son répertoire."
