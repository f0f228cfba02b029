#!/usr/bin/env bash
# Renders each manual page with man -l and checks that it is free of groff
# warnings and names every command and option that the program's --help, and
# "calvento COMMAND --help", list.
# Usage: CheckManPages.sh PROGRAM_DIR MAN_DIR
set -euo pipefail
bin=$1 mandir=$2
source "$(dirname "$0")/HelpOptions.sh"
failures=0
fail() { echo "ÉCHEC : $*" >&2; failures=$((failures + 1)); }

# The page as a reader sees it, hyphens and minus signs as plain '-'.
render() {
    LC_ALL=C.UTF-8 MANWIDTH=200 man -P cat -l "$1" |
        sed -e 's/\xe2\x80\x90/-/g' -e 's/\xe2\x80\x91/-/g' -e 's/\xe2\x88\x92/-/g'
}

# Checks that each word of the standard input appears, as a whole word, in the text $2 of page $1.
all_named() {
    local page=$1 text=$2 word
    while read -r word; do
        [ -n "$word" ] || continue
        if ! grep -qE -- "(^|[^[:alnum:]_-])${word}([^[:alnum:]_-]|\$)" <<<"$text"; then
            fail "$page ne nomme pas « $word »"
        fi
    done
}

# Sets text to the rendered page $1.
check_page() {
    local page=$1 warnings
    text=
    [ -f "$mandir/$page.1" ] || { fail "page $page.1 absente de $mandir"; return; }
    warnings=$(LC_ALL=C.UTF-8 groff -k -man -ww -z -Tutf8 "$mandir/$page.1" 2>&1) || fail "groff refuse $page.1"
    [ -z "$warnings" ] || fail "$page.1 : $warnings"
    text=$(render "$mandir/$page.1") || { fail "man -l $page.1"; return; }
    grep -q "^NOM" <<<"$text" || fail "$page.1 : pas de section NOM"
    grep -q "^CODES DE SORTIE" <<<"$text" || fail "$page.1 : pas de section CODES DE SORTIE"
    grep -q "^EXEMPLES" <<<"$text" || fail "$page.1 : pas de section EXEMPLES"
}

# calvento: the commands, then the options of each command's help.
check_page calvento
all_named calvento.1 "$text" < <(calvento_commands "$bin/calvento")
all_named calvento.1 "$text" < <("$bin/calvento" --help | help_options)
for command in $(calvento_commands "$bin/calvento"); do
    all_named "calvento.1 ($command)" "$text" < <("$bin/calvento" "$command" --help | help_options)
done

check_page quarvo
all_named quarvo.1 "$text" < <("$bin/quarvo" --help | help_options)

if [ -x "$bin/calvento-mpi" ]; then
    check_page calvento-mpi
    # calvento-mpi --help needs no other process: it answers before any exchange.
    all_named calvento-mpi.1 "$text" < <("$bin/calvento-mpi" --help | help_options)
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures écart(s) entre les pages de manuel et l'aide des programmes." >&2
    exit 1
fi
echo "Pages de manuel conformes à l'aide des programmes."
