#!/usr/bin/env bash
# Checks the bash completion: it offers every command and every option that
# the programs' --help texts list, and the files of the right extensions.
# Usage: CheckCompletion.sh COMPLETION_FILE PROGRAM_DIR
set -euo pipefail
completion=$1 bin=$2
source "$(dirname "$0")/HelpOptions.sh"
source "$completion"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-completion.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "ÉCHEC : $*" >&2; failures=$((failures + 1)); }

# Completes the last of the words given with the function $1; the answers, sorted, one a line.
complete_words() {
    local function=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

# Each line of the standard input must be among the answers $2 (for the case $1).
all_offered() {
    local what=$1 offered=$2 word
    while read -r word; do
        [ -n "$word" ] || continue
        grep -qx -- "$word" <<<"$offered" || fail "$what : « $word » n'est pas proposé"
    done
}

offered=$(complete_words _calvento calvento "")
all_offered "calvento" "$offered" < <(calvento_commands "$bin/calvento")
offered=$(complete_words _calvento calvento -)
# The general options, below "Options :" (the commands' own come after their name).
all_offered "calvento -" "$offered" < <("$bin/calvento" --help | sed -n '/^Options :/,$p' | help_options)
grep -qx -- --version <<<"$offered" || fail "calvento : --version n'est pas proposé"
for command in $(calvento_commands "$bin/calvento"); do
    offered=$(complete_words _calvento calvento "$command" -)
    all_offered "calvento $command -" "$offered" < <("$bin/calvento" "$command" --help | help_options)
done
offered=$(complete_words _quarvo quarvo -)
# Qt's own options, which the text names last, are Qt's.
all_offered "quarvo -" "$offered" < <("$bin/quarvo" --help | sed '/options de Qt/,$d' | help_options)
if [ -x "$bin/calvento-mpi" ]; then
    offered=$(complete_words _calvento_mpi calvento-mpi generate -)
    # mpirun's own options, which the text names, are not calvento-mpi's; --version comes alone.
    all_offered "calvento-mpi generate -" "$offered" < <("$bin/calvento-mpi" --help | help_options |
        grep -vx -e -np -e --hostfile -e --bind-to -e --version)
    offered=$(complete_words _calvento_mpi calvento-mpi "")
    all_offered "calvento-mpi" "$offered" < <(printf '%s\n' generate --help --version)
fi

# The files, by extension.
cd "$tmp"
touch a.LOT b.lotos c.STEM d.aut e.CTL f.mcl g.txt
mkdir folder
expect() {
    local what=$1 got=$2 want=$3
    got=$(printf '%s' "$got" | tr '\n' ' ')
    [ "$got" = "$want" ] || fail "$what : « $got » au lieu de « $want »"
}
expect "calvento generate" "$(complete_words _calvento calvento generate "")" "a.LOT b.lotos folder"
expect "calvento regenerate" "$(complete_words _calvento calvento regenerate "")" "c.STEM folder"
expect "calvento compare" "$(complete_words _calvento calvento compare "")" "a.LOT b.lotos c.STEM d.aut folder"
expect "calvento generate -o" "$(complete_words _calvento calvento generate a.LOT -o "")" "c.STEM folder"
expect "calvento generate --aut" "$(complete_words _calvento calvento generate a.LOT --aut "")" "d.aut folder"
expect "calvento check -f" "$(complete_words _calvento calvento check a.LOT -f "")" "e.CTL folder"
expect "calvento verify --fichier" "$(complete_words _calvento calvento verify a.LOT --fichier "")" "f.mcl folder"
expect "calvento generate --max-etats" "$(complete_words _calvento calvento generate a.LOT --max-etats "")" ""
expect "quarvo" "$(complete_words _quarvo quarvo "")" "a.LOT b.lotos c.STEM d.aut e.CTL f.mcl folder"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "La complétion propose chaque commande, chaque option et les bons fichiers."
