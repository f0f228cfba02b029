#!/usr/bin/env bash
# Makes the Debian packages with CPack in a temporary folder, checks their
# control fields and their files with dpkg-deb, then unpacks them and runs the
# unpacked calvento from another temporary folder on an example: it must find
# its tables and OCaml modules in the unpacked share/quarvo, and nothing in
# the build tree. Everything goes in one temporary folder, removed at the end.
# Usage: CheckPackage.sh BUILD_DIR SOURCE_DIR VERSION WITH_MPI(0|1)
set -euo pipefail
build=$(cd "$1" && pwd) source=$(cd "$2" && pwd) version=$3 with_mpi=$4

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quarvo-package.XXXXXX")
# cpack's installation writes its lists of installed files into the build
# tree: those this check made go with it.
manifests=()
for component in quarvo mpi; do
    [ -e "$build/install_manifest_$component.txt" ] || manifests+=("$build/install_manifest_$component.txt")
done
trap 'rm -rf "$tmp" "${manifests[@]}"' EXIT
failures=0
fail() { echo "ÉCHEC : $*" >&2; failures=$((failures + 1)); }

# --- The packages --------------------------------------------------------
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    echo "ÉCHEC : cpack -G DEB" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$tmp/out/quarvo_${version}_${arch}.deb
mpideb=$tmp/out/quarvo-mpi_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
    ls -l "$tmp/out" >&2
    echo "ÉCHEC : quarvo_${version}_${arch}.deb n'a pas été fait" >&2
    exit 1
fi
echo "Paquets faits : $(cd "$tmp/out" && ls ./*.deb | tr '\n' ' ')"

# $1: package, $2: field, $3: extended regular expression the field must match.
field_matches() {
    local value
    value=$(dpkg-deb -f "$1" "$2")
    grep -qE -- "$3" <<<"$value" || fail "$(basename "$1") : champ $2 « $value » ne correspond pas à « $3 »"
}
field_lacks() {
    local value
    value=$(dpkg-deb -f "$1" "$2")
    if grep -qE -- "$3" <<<"$value"; then fail "$(basename "$1") : champ $2 « $value » contient « $3 »"; fi
}

field_matches "$deb" Package '^quarvo$'
field_matches "$deb" Version "^${version//./\\.}\$"
field_matches "$deb" Architecture "^$arch\$"
field_matches "$deb" Maintainer '^.+ <[^>]+@[^>]+>$'
field_matches "$deb" Section '^(science|electronics)$'
# What the programs run, and the libraries dpkg-shlibdeps found.
for dependency in ocaml-nox graphviz 'libc6 ' 'libqt6widgets6' 'libgvc6' 'libjpeg62-turbo'; do
    field_matches "$deb" Depends "(^|, )$dependency"
done
field_lacks "$deb" Depends 'mpi'
field_matches "$deb" Description 'compilateur'
field_matches "$deb" Description 'compiles a basic LOTOS specification'

# $1: package, then the paths it must hold.
holds() {
    local package=$1 listing path
    shift
    listing=$(dpkg-deb -c "$package" | awk '{print $6}')
    for path in "$@"; do
        grep -qx -- "./$path" <<<"$listing" || fail "$(basename "$package") ne contient pas $path"
    done
}
holds "$deb" usr/bin/quarvo usr/bin/calvento \
    usr/share/quarvo/tables/taction.tab usr/share/quarvo/tables/tsucc.tab usr/share/quarvo/tables/Preced.tab \
    usr/share/quarvo/Help/Help.html usr/share/quarvo/LICENCE.txt \
    usr/share/quarvo/calventoSource.cmo usr/share/quarvo/calventosource.cmi \
    usr/share/quarvo/lotosGPM.cmo usr/share/quarvo/lotosGPM.cmi \
    usr/share/applications/quarvo.desktop usr/share/icons/hicolor/scalable/apps/quarvo.svg \
    usr/share/mime/packages/quarvo.xml \
    usr/share/man/man1/quarvo.1.gz usr/share/man/man1/calvento.1.gz \
    usr/share/bash-completion/completions/quarvo usr/share/bash-completion/completions/calvento \
    usr/share/doc/quarvo/copyright usr/share/doc/quarvo/examples/PHILO.LOT
if dpkg-deb -c "$deb" | grep 'calvento-mpi' >/dev/null; then fail "quarvo contient calvento-mpi"; fi

if [ "$with_mpi" = 1 ]; then
    if [ ! -f "$mpideb" ]; then
        fail "quarvo-mpi_${version}_${arch}.deb n'a pas été fait"
    else
        field_matches "$mpideb" Package '^quarvo-mpi$'
        field_matches "$mpideb" Depends "(^|, )quarvo \\(= ${version//./\\.}\\)"
        field_matches "$mpideb" Depends '(^|, )openmpi-bin'
        field_matches "$mpideb" Depends '(^|, )libopenmpi'
        field_matches "$mpideb" Description 'calvento-mpi generates'
        holds "$mpideb" usr/bin/calvento-mpi usr/share/man/man1/calvento-mpi.1.gz \
            usr/share/bash-completion/completions/calvento-mpi
    fi
fi

# --- The unpacked programs -------------------------------------------------
root=$tmp/root
dpkg-deb -x "$deb" "$root"
work=$tmp/work
mkdir -p "$work" "$tmp/temporary"
cp "$source/examples/PHILO.LOT" "$work/"
# As an installed program is run: from a folder of the user's, no work
# directory named, the temporary directory the user's.
run() { (cd "$work" && env -u QUARVO_CAMLDIR TMPDIR="$tmp/temporary" "$@"); }

first=$(run "$root/usr/bin/calvento" --version)
first=${first%%$'\n'*}
[ "$first" = "calvento (QUARVO) $version" ] || fail "calvento --version : « $first »"
first=$(run "$root/usr/bin/quarvo" --version)
first=${first%%$'\n'*}
[ "$first" = "quarvo (QUARVO) $version" ] || fail "quarvo --version : « $first »"

out=$(run "$root/usr/bin/calvento" compile PHILO.LOT 2>&1) || fail "calvento compile : $out"
grep -q "Aucune erreur détectée" <<<"$out" || fail "calvento compile : $out"
out=$(run "$root/usr/bin/calvento" generate PHILO.LOT -o philo.STEM --aut philo.aut 2>&1) ||
    fail "calvento generate : $out"
[ -s "$work/philo.STEM" ] && [ -s "$work/philo.aut" ] || fail "calvento generate n'a pas écrit ses fichiers : $out"
out=$(run "$root/usr/bin/calvento" regenerate philo.STEM 2>&1) || fail "calvento regenerate : $out"
if command -v ocamlc >/dev/null && command -v ocamlrun >/dev/null; then
    out=$(run "$root/usr/bin/calvento" ocaml PHILO.LOT --run 2>&1) || fail "calvento ocaml --run : $out"
    grep -q '^BEGIN [0-9]*;' <<<"$out" || fail "calvento ocaml --run : $out"
fi
# The private work directories went with the runs.
left=$(ls -A "$tmp/temporary")
[ -z "$left" ] || fail "restes dans le répertoire temporaire : $left"
# The tables came from the package: without them, compiling fails.
mv "$root/usr/share/quarvo/tables" "$tmp/tables-aside"
if [ ! -d /usr/local/share/quarvo/tables ] && [ ! -d /usr/share/quarvo/tables ]; then
    if run "$root/usr/bin/calvento" compile PHILO.LOT >/dev/null 2>&1; then
        fail "calvento compile réussit sans les tables du paquet : d'où viennent-elles ?"
    fi
fi
mv "$tmp/tables-aside" "$root/usr/share/quarvo/tables"

for page in quarvo calvento; do
    LC_ALL=C.UTF-8 MANWIDTH=100 man -P cat -l "$root/usr/share/man/man1/$page.1.gz" >"$tmp/page.txt" 2>&1 ||
        fail "man -l $page.1.gz"
    grep -q '^NOM' "$tmp/page.txt" || fail "man -l $page.1.gz : $(head -n 3 "$tmp/page.txt")"
done

# The desktop entry, and the file types it declares as the MIME database reads them.
if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$root/usr/share/applications/quarvo.desktop" 2>&1) || fail "desktop-file-validate : $out"
fi
grep -qx 'Exec=quarvo %f' "$root/usr/share/applications/quarvo.desktop" || fail "quarvo.desktop : Exec"
if command -v update-mime-database >/dev/null; then
    mkdir -p "$tmp/mime/packages"
    cp "$root/usr/share/mime/packages/quarvo.xml" "$tmp/mime/packages/"
    update-mime-database "$tmp/mime" >/dev/null 2>&1 || fail "update-mime-database refuse quarvo.xml"
    for pair in 'text/x-lotos:\*\.lot' 'text/x-lotos:\*\.lotos' 'text/x-quarvo-stem:\*\.stem' \
        'text/x-aldebaran:\*\.aut' 'text/x-quarvo-ctl:\*\.ctl' 'text/x-mcl:\*\.mcl'; do
        grep -q ":${pair}\$" "$tmp/mime/globs2" 2>/dev/null || fail "type de fichier absent : $pair"
        type=${pair%%:*}
        grep -q "MimeType=.*$type;" "$root/usr/share/applications/quarvo.desktop" ||
            fail "quarvo.desktop ne déclare pas $type"
    done
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures défaut(s) dans les paquets." >&2
    exit 1
fi
echo "Paquets conformes."
