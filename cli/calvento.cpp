// calvento: the command-line face of the QUARVO core.
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "QuarvoVersion.h"
#include "cli/CliSupport.h"

namespace {

constexpr const char* kUsage =
    "Usage : calvento COMMANDE [OPTIONS]\n"
    "\n"
    "Outil en ligne de commande du générateur Calvento de QUARVO.\n"
    "\n"
    "Commandes :\n"
    "  compile FICHIER.LOT   compile une spécification LOTOS et affiche les messages\n"
    "                        de compilation\n"
    "  generate FICHIER.LOT  compile la spécification et engendre son STEM (ou STE)\n"
    "  regenerate FICHIER.STEM\n"
    "                        relit un fichier STEM classique\n"
    "  check MODELE FORMULE  vérifie une formule CTL sur un STEM (MODELE : .LOT ou .STEM)\n"
    "  ocaml FICHIER.LOT     affiche le programme OCaml de la chaîne externe (STEM\n"
    "                        alpha-réduit ou graphe des pas maximaux), ou son résultat\n"
    "  compare MODELE1 MODELE2\n"
    "                        compare deux comportements (.LOT, .STEM ou .aut) modulo\n"
    "                        une équivalence (par défaut la bissimulation forte)\n"
    "  reduce MODELE         réduit un comportement modulo une bissimulation et écrit\n"
    "                        le système réduit\n"
    "  verify MODELE FORMULE vérifie une propriété d'actions (mu-calcul modal) sur\n"
    "                        un modèle (.LOT, .STEM ou .aut) et donne sa trace\n"
    "  deadlock MODELE       cherche un blocage et une trace vers lui (réduction par\n"
    "                        ordre partiel sous l'entrelacement)\n"
    "  livelock MODELE       cherche une boucle d'actions internes\n"
    "  simulate MODELE       simule le modèle pas à pas, ou rejoue une trace\n"
    "                        (--trace FICHIER)\n"
    "  export FICHIER --lotos|--dialecte\n"
    "                        écrit la spécification dans la syntaxe ISO 8807 du\n"
    "                        LOTOS de base, ou dans la syntaxe SYSTEM … ENDSYS\n"
    "\n"
    "Options :\n"
    "  --help                affiche cette aide\n"
    "  --version             affiche la version\n"
    "\n"
    "« calvento COMMANDE --help » détaille une commande.\n";

}  // namespace

static int Run(int argc, char** argv);

int main(int argc, char** argv) {
    // Each line goes out when it is complete, even to a pipe or a file, so
    // that a long generation can be followed.
    std::setvbuf(stdout, nullptr, _IOLBF, std::size_t{1} << 16);
    // The core reports bad input itself; what is left is running out of memory
    // on a model too large for the machine.
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        return calvento::OutOfMemory();
    } catch (const std::exception& e) {
        std::cerr << "calvento : erreur interne : " << e.what() << '\n';
    }
    return 2;
}

static int Run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << quarvo::VersionText("calvento");
        return 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (!calvento::OptionsAgree(args)) return 2;
    if (command == "compile") return calvento::Compile(args);
    if (command == "generate") return calvento::Generate(args);
    if (command == "regenerate") return calvento::Regenerate(args);
    if (command == "check") return calvento::Check(args);
    if (command == "ocaml") return calvento::Ocaml(args);
    if (command == "compare") return calvento::Compare(args);
    if (command == "reduce") return calvento::Reduce(args);
    if (command == "verify") return calvento::Verify(args);
    if (command == "deadlock") return calvento::Deadlock(args);
    if (command == "livelock") return calvento::Livelock(args);
    if (command == "export") return calvento::Export(args);
    if (command == "simulate") return calvento::Simulate(args);
    std::cerr << "calvento : commande inconnue « " << command << " ».\n\n" << kUsage;
    return 2;
}
