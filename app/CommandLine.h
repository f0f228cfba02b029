// The arguments of the desktop program: a file to open, --help, --version.
#pragma once

#include <string>
#include <vector>

namespace quarvo {

inline constexpr const char* QuarvoUsage =
    "Usage : quarvo [FICHIER]\n"
    "        quarvo --help | --version\n"
    "\n"
    "Programme de bureau de QUARVO pour LOTOS de base : édition et compilation\n"
    "d'une spécification, génération du STEM (ou du STE), visualisation,\n"
    "vérification CTL, propriétés d'actions, comparaison et réduction.\n"
    "\n"
    "  FICHIER      ouvert au démarrage comme par « Fichier > Ouvrir » (une\n"
    "               spécification .LOT ou .lotos, ou tout autre texte) ; un\n"
    "               fichier .STEM est affiché comme par « Fichier STEM classique ».\n"
    "  --help       affiche cette aide\n"
    "  --version    affiche la version\n"
    "\n"
    "Les options de Qt (-platform, -style, -geometry...) sont acceptées.\n";

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    // The file to open at start-up, or empty.
    std::string file;
    // The French message of an Error.
    std::string error;
};

// Reads the arguments that follow the program's name (those Qt left).
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace quarvo
