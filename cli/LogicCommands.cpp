// The verify, deadlock and livelock commands of calvento: properties of actions on any transition system.
#include <iostream>

#include "cli/CliSupport.h"
#include "cli/SystemLoading.h"
#include "generation/Generator.h"
#include "logic/Verification.h"
#include "stemio/ModelFile.h"

namespace calvento {
namespace {

constexpr const char* kVerifyUsage =
    "Usage : calvento verify MODELE (FORMULE | --fichier FICHIER.mcl) [--maximalite]\n"
    "                        [--max-etats N]\n"
    "\n"
    "Vérifie une formule du mu-calcul modal d'actions (avec formules régulières)\n"
    "à l'état initial d'un modèle : une spécification (.LOT, engendrée sous la\n"
    "sémantique d'entrelacement, ou de maximalité avec --maximalite), un fichier\n"
    "STEM classique (.STEM) ou un fichier Aldebaran (.aut). Affiche « Propriété\n"
    "vérifiée. » ou « Propriété non vérifiée. », puis la trace qui le montre quand\n"
    "le verdict en a une. Une ligne « Attention : » précède le verdict pour chaque\n"
    "action de la formule qu'aucun arc ne porte.\n"
    "  --max-etats N   borne la génération d'une spécification ; si elle est\n"
    "                  atteinte, le verdict est inconnu.\n"
    "\n"
    "Code de sortie : 0 si la propriété est vérifiée, 1 sinon, 2 en cas d'erreur\n"
    "(formule mal formée, modèle illisible, génération arrêtée par sa borne).\n";

constexpr const char* kDeadlockUsage =
    "Usage : calvento deadlock MODELE [--maximalite] [--max-etats N]\n"
    "\n"
    "Cherche un blocage : un état accessible sans successeur, autre qu'une\n"
    "terminaison réussie (atteinte par delta). Affiche « Aucun blocage. » ou la\n"
    "trace la plus courte vers un blocage.\n"
    "\n"
    "Code de sortie : 0 sans blocage, 1 s'il y en a un, 2 en cas d'erreur.\n";

constexpr const char* kLivelockUsage =
    "Usage : calvento livelock MODELE [--maximalite] [--max-etats N]\n"
    "\n"
    "Cherche une boucle interne : un cycle accessible d'actions internes (I et I_…).\n"
    "Affiche « Aucune boucle interne. » ou un lasso : un chemin, puis le cycle.\n"
    "\n"
    "Code de sortie : 0 sans boucle interne, 1 s'il y en a une, 2 en cas d'erreur.\n";

// Parses the options common to the three commands; false on a usage error.
bool ModelOption(const std::vector<std::string>& args, std::size_t& i, ModelOptions& options, bool& bad) {
    const std::string& a = args[i];
    if (a == "--maximalite") {
        options.settings.semantics = quarvo::Semantics::Maximality;
    } else if (a == "--max-etats") {
        std::int64_t n = 0;
        if (i + 1 >= args.size() || !ParseCount(args[i + 1], n)) {
            std::cerr << "calvento : --max-etats attend un nombre d'états.\n";
            bad = true;
            return true;
        }
        options.settings.maxStates = n;
        ++i;
    } else {
        return false;
    }
    return true;
}

int SearchCommand(const std::vector<std::string>& args, quarvo::logic::Search search, const char* usage) {
    ModelOptions options;
    options.settings.semantics = quarvo::Semantics::Interleaving;
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool bad = false;
        if (args[i] == "--help" || args[i] == "-h") {
            std::cout << usage;
            return 0;
        } else if (ModelOption(args, i, options, bad)) {
            if (bad) return 2;
        } else if (!args[i].empty() && args[i][0] == '-') {
            std::cerr << "calvento : option inconnue « " << args[i] << " ».\n\n" << usage;
            return 2;
        } else if (options.path.empty()) {
            options.path = args[i];
        } else {
            std::cerr << usage;
            return 2;
        }
    }
    if (options.path.empty()) {
        std::cerr << usage;
        return 2;
    }
    // A deadlock is looked for during the generation: it stops at the end
    // of the first level that holds one, whatever the size of the rest.
    options.settings.stopAtDeadlockLevel = search == quarvo::logic::Search::Deadlock;
    quarvo::StemStore store;
    bool stoppedAtDeadlock = false;
    std::int64_t explored = 0;
    if (!LoadSystem(options, store, &stoppedAtDeadlock, &explored)) return 2;
    if (stoppedAtDeadlock)
        std::cout << "Génération arrêtée au premier niveau qui contient un blocage, après l'exploration de " << explored
                  << " états.\n";
    const quarvo::logic::ActionSystem system = quarvo::logic::ActionSystemOf(store);
    const quarvo::logic::SearchOutcome outcome = quarvo::logic::RunSearch(search, system.lts);
    for (const std::string& line : quarvo::logic::SearchLines(search, outcome, system)) std::cout << line << '\n';
    if (outcome.replayFailed) return 2;
    return outcome.found ? 1 : 0;
}

}  // namespace

int Verify(const std::vector<std::string>& args) {
    ModelOptions options;
    options.settings.semantics = quarvo::Semantics::Interleaving;
    std::string formula, formulaFile;
    bool haveFormula = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool bad = false;
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kVerifyUsage;
            return 0;
        } else if (ModelOption(args, i, options, bad)) {
            if (bad) return 2;
        } else if (a == "--fichier") {
            if (i + 1 >= args.size()) {
                std::cerr << "calvento : --fichier attend un nom de fichier.\n";
                return 2;
            }
            formulaFile = args[++i];
            haveFormula = true;
        } else if (options.path.empty() && !(a.size() > 1 && a[0] == '-')) {
            options.path = a;
        } else if (!haveFormula) {
            formula = a;
            haveFormula = true;
        } else {
            std::cerr << kVerifyUsage;
            return 2;
        }
    }
    if (options.path.empty() || !haveFormula) {
        std::cerr << kVerifyUsage;
        return 2;
    }
    if (!formulaFile.empty()) {
        std::vector<std::string> lines;
        if (!ReadLines(formulaFile, lines)) return 2;
        formula.clear();
        for (std::size_t i = 0; i < lines.size(); ++i) formula += (i ? "\n" : "") + lines[i];
    }
    quarvo::StemStore store;
    if (!LoadSystem(options, store)) return 2;
    const quarvo::logic::ActionSystem system = quarvo::logic::ActionSystemOf(store);
    const quarvo::logic::VerifyResult result = quarvo::logic::Verify(formula, system.lts);
    for (const std::string& line : quarvo::logic::VerifyLines(result, system)) std::cout << line << '\n';
    if (!result.status || result.stopped || result.replayFailed) return 2;
    return result.holds ? 0 : 1;
}

int Deadlock(const std::vector<std::string>& args) {
    return SearchCommand(args, quarvo::logic::Search::Deadlock, kDeadlockUsage);
}

int Livelock(const std::vector<std::string>& args) {
    return SearchCommand(args, quarvo::logic::Search::Livelock, kLivelockUsage);
}

}  // namespace calvento
