# The Debian packages, made by CPack from what the install rules put in place:
#   cmake --build build && (cd build && cpack -G DEB)
# gives quarvo_<version>_<arch>.deb (the desktop program, calvento, the
# tables, the help, the OCaml modules, the manual pages, the desktop entry,
# the file types and the completion) and, where MPI was found,
# quarvo-mpi_<version>_<arch>.deb (calvento-mpi alone, so that the desktop
# package never pulls MPI).
set(QUARVO_MAINTAINER "Les auteurs de QUARVO <quarvo@example.org>"
    CACHE STRING "The Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Les auteurs de QUARVO")
set(CPACK_PACKAGE_CONTACT ${QUARVO_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENCE.txt)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The installed programs carry no debugging information.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL quarvo)
if(TARGET calvento-mpi)
  list(APPEND CPACK_COMPONENTS_ALL mpi)
endif()

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUARVO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/quarvo")
# The libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

set(CPACK_DEBIAN_QUARVO_PACKAGE_NAME quarvo)
set(CPACK_DEBIAN_QUARVO_FILE_NAME DEB-DEFAULT)
# What the programs run: the OCaml tool chain and Graphviz's dot.
set(CPACK_DEBIAN_QUARVO_PACKAGE_DEPENDS "ocaml-nox, graphviz")
set(CPACK_DEBIAN_QUARVO_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-translations-l10n, bash-completion")
set(CPACK_DEBIAN_QUARVO_PACKAGE_SECTION science)
set(CPACK_COMPONENT_QUARVO_DESCRIPTION
"compilateur, générateur de STEM et vérificateur pour LOTOS de base
QUARVO compile une spécification LOTOS de base (processus, portes, choix,
compositions parallèles, HIDE, activation et désactivation) avec des messages
d'erreur en français, engendre son système de transitions étiquetées fondé sur
la maximalité (STEM) ou le système entrelacé, le visualise, y vérifie des
formules CTL et des propriétés du mu-calcul modal, le compare à un autre
comportement et le réduit modulo une bissimulation. Ce paquet contient le
programme de bureau quarvo et l'outil en ligne de commande calvento.

QUARVO compiles a basic LOTOS specification with French error messages,
generates its maximality-based labelled transition system (STEM) or its
interleaving one, draws it, checks CTL formulas and modal mu-calculus
properties on it, compares it with another behaviour and reduces it modulo a
bisimulation. This package holds the desktop program quarvo and the
command-line tool calvento.")

if(TARGET calvento-mpi)
  set(CPACK_DEBIAN_MPI_PACKAGE_NAME quarvo-mpi)
  set(CPACK_DEBIAN_MPI_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_MPI_PACKAGE_DEPENDS "quarvo (= ${PROJECT_VERSION}), openmpi-bin")
  set(CPACK_DEBIAN_MPI_PACKAGE_SECTION science)
  set(CPACK_COMPONENT_MPI_DESCRIPTION
"génération du STEM de QUARVO sur plusieurs processus ou machines (MPI)
calvento-mpi engendre le même STEM que « calvento generate », réparti sur les
processus que lance mpirun (OpenMPI), sur une machine ou sur une grappe ; les
fichiers écrits sont les mêmes, octet pour octet.

calvento-mpi generates the same STEM as the command calvento generate, spread over the
processes that mpirun starts (OpenMPI), on one machine or on a cluster; the
files written are the same, byte for byte.")
endif()

include(CPack)
