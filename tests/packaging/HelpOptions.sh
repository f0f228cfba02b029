# Sourced by the packaging checks: what the programs' --help texts list.

# The options (-o, --max-etats...) that a help text on standard input names.
help_options() {
    grep -oE '(^|[^[:alnum:]_-])--?[a-z][a-z-]*' | sed -E 's/^[^-]//' | sort -u
}

# The commands that "calvento --help" lists, one a line.
calvento_commands() {
    "$1" --help | sed -n '/^Commandes :/,/^$/p' | grep -oE '^  [a-z]+' | sed 's/^ *//'
}
