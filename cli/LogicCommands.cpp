// The verify, deadlock and livelock commands of calvento: properties of actions on any transition system.
#include <iostream>

#include "cli/CliSupport.h"
#include "cli/SystemLoading.h"
#include "generation/Generator.h"
#include "generation/LevelExploration.h"
#include "generation/reduction/ReducedSearch.h"
#include "logic/ReducedSearches.h"
#include "logic/Verification.h"
#include "stemio/ModelFile.h"

namespace calvento {
namespace {

constexpr const char* kVerifyUsage =
    "Usage : calvento verify MODELE (FORMULE | --fichier FICHIER.mcl) [--maximalite]\n"
    "                        [--max-etats N] [--memoire-max N] [--fils N]\n"
    "                        [--sans-reduction]\n"
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
    "Une formule de sûreté [R] false (aucune exécution dont les actions forment\n"
    "un mot de R) sur une spécification, sous la sémantique d'entrelacement, est\n"
    "vérifiée par une recherche avec réduction par ordre partiel (ensembles\n"
    "têtus, avec les conditions de visibilité et de cycle) : seule une partie des\n"
    "états est explorée, et la réponse se termine par le nombre d'états\n"
    "explorés. Toute autre formule, et toute formule sous maximalité, est évaluée\n"
    "sur l'espace d'états entier.\n"
    "  --sans-reduction  évalue aussi [R] false sur l'espace d'états entier.\n"
    "  --memoire-max N   arrête proprement la recherche ou la génération avant\n"
    "                    que la mémoire utilisée n'atteigne N mégaoctets.\n"
    "  --fils N          cherche ou engendre avec N fils d'exécution (par\n"
    "                    défaut : un par cœur). Sur un seul fil, la recherche\n"
    "                    de [R] false va en profondeur (la condition de cycle\n"
    "                    porte sur sa pile) ; sur plusieurs, une recherche d'un\n"
    "                    millier d'états au plus reste sur un fil, au-delà les\n"
    "                    fils se partagent chaque niveau d'une recherche en\n"
    "                    largeur (un état dont une transition choisie mène à\n"
    "                    un état de son niveau ou d'un niveau précédent les\n"
    "                    suit toutes) : la trace est la plus courte de\n"
    "                    l'espace exploré, et la trace et le nombre d'états\n"
    "                    sont les mêmes quel que soit le nombre de fils.\n"
    "\n"
    "Code de sortie : 0 si la propriété est vérifiée, 1 sinon, 2 en cas d'erreur\n"
    "(formule mal formée, modèle illisible, génération arrêtée par sa borne).\n";

constexpr const char* kDeadlockUsage =
    "Usage : calvento deadlock MODELE [--maximalite] [--max-etats N]\n"
    "                          [--memoire-max N] [--fils N]\n"
    "                          [--sans-reduction] [--plus-court]\n"
    "\n"
    "Cherche un blocage : un état accessible sans successeur, autre qu'une\n"
    "terminaison réussie (atteinte par delta). Affiche « Aucun blocage. » ou une\n"
    "trace vers un blocage, puis « États explorés : N. ».\n"
    "\n"
    "Sur une spécification, sous la sémantique d'entrelacement, la recherche va\n"
    "en profondeur et n'explore en chaque état qu'un ensemble têtu de ses\n"
    "transitions (réduction par ordre partiel) : tout blocage accessible est\n"
    "trouvé, et la trace montrée, rejouée sur le système entier, est une\n"
    "exécution réelle ; le nombre d'états est alors suivi de « (réduction par\n"
    "ordre partiel) ».\n"
    "  --sans-reduction  explore toutes les transitions de chaque état.\n"
    "  --plus-court      cherche en largeur : la trace est la plus courte de\n"
    "                    l'espace exploré (la plus courte de toutes avec\n"
    "                    --sans-reduction).\n"
    "  --memoire-max N   arrête proprement la recherche avant que la mémoire\n"
    "                    utilisée n'atteigne N mégaoctets.\n"
    "  --fils N          cherche avec N fils d'exécution (par défaut : un par\n"
    "                    cœur), chacun en profondeur depuis l'état initial sur\n"
    "                    une table d'états commune ; le premier blocage trouvé\n"
    "                    arrête les autres ; une recherche d'un millier d'états\n"
    "                    au plus reste sur un fil. En largeur (--plus-court),\n"
    "                    les fils se partagent chaque niveau ; la trace et le\n"
    "                    nombre d'états sont ceux d'un seul fil.\n"
    "Sous maximalité (--maximalite), et sur un fichier STEM ou .aut, la réduction\n"
    "ne s'applique pas (son indépendance est une notion de l'entrelacement) : la\n"
    "génération s'arrête au premier niveau qui contient un blocage, et la trace\n"
    "est la plus courte.\n"
    "\n"
    "Code de sortie : 0 sans blocage, 1 s'il y en a un, 2 en cas d'erreur.\n";

constexpr const char* kLivelockUsage =
    "Usage : calvento livelock MODELE [--maximalite] [--max-etats N]\n"
    "                          [--memoire-max N] [--fils N]\n"
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
    } else if (a == "--memoire-max") {
        const std::string text = i + 1 < args.size() ? args[++i] : std::string();
        bad = !ParseMemoryLimit(text, options.settings.memoryLimit);
    } else if (a == "--fils") {
        std::int64_t n = 0;
        if (i + 1 >= args.size() || !ParseCount(args[i + 1], n) || n > 1024) {
            std::cerr << "calvento : --fils attend un nombre entier de 1 à 1024.\n";
            bad = true;
            return true;
        }
        options.settings.threads = static_cast<int>(n);
        ++i;
    } else {
        return false;
    }
    return true;
}

// The compiled specification a search on state vectors works on, under
// interleaving; null (and nothing said) for any other model.
std::shared_ptr<quarvo::Compilation> InterleavedSpecification(const ModelOptions& options, bool& failed) {
    failed = false;
    if (options.settings.semantics != quarvo::Semantics::Interleaving) return nullptr;
    quarvo::ModelKind kind = quarvo::ModelKind::Specification;
    if (!quarvo::ModelKindOf(options.path, kind) || kind != quarvo::ModelKind::Specification) return nullptr;
    CollectingSink compileLines;
    std::shared_ptr<quarvo::Compilation> compilation = CompileFile(options.path, compileLines);
    if (!compilation) {
        for (const std::string& line : compileLines.lines) std::cout << line << '\n';
        failed = true;
    }
    return compilation;
}

// A search on state vectors that could not end: said, and the exit code.
int SearchStopped(const quarvo::SearchOutcomeOnVectors& outcome) {
    if (outcome.stoppedByBound) {
        std::cout << "Recherche arrêtée à " << outcome.explored << " états (--max-etats) : verdict inconnu.\n";
        return 2;
    }
    if (outcome.stoppedByMemory) {
        std::cout << "Recherche interrompue : mémoire insuffisante (" << outcome.explored << " états explorés).\n";
        return 2;
    }
    std::cout << "Recherche interrompue (" << outcome.explored << " états explorés).\n";
    return 2;
}

int SearchCommand(const std::vector<std::string>& args, quarvo::logic::Search search, const char* usage) {
    ModelOptions options;
    options.settings.semantics = quarvo::Semantics::Interleaving;
    bool reduce = true, shortest = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool bad = false;
        if (args[i] == "--help" || args[i] == "-h") {
            std::cout << usage;
            return 0;
        } else if (search == quarvo::logic::Search::Deadlock && args[i] == "--sans-reduction") {
            reduce = false;
        } else if (search == quarvo::logic::Search::Deadlock && args[i] == "--plus-court") {
            shortest = true;
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
    const bool deadlock = search == quarvo::logic::Search::Deadlock;
    // Under interleaving a deadlock is looked for on the specification's
    // state vectors, depth first, stubborn sets unless asked otherwise (the
    // full breadth-first search is the generation's, below).
    if (deadlock && (reduce || !shortest)) {
        bool failed = false;
        const std::shared_ptr<quarvo::Compilation> compilation = InterleavedSpecification(options, failed);
        if (failed) return 2;
        if (compilation) {
            quarvo::SearchSettings settings;
            settings.reduce = reduce;
            settings.breadthFirst = shortest;
            settings.memoryLimit = options.settings.memoryLimit;
            settings.maxStates = options.settings.maxStates;
            settings.threads = quarvo::ExplorationThreads(options.settings);
            TerminalProgress progress;
            const quarvo::SearchOutcomeOnVectors outcome = quarvo::SearchOnVectors(compilation, settings, nullptr, &progress);
            if (outcome.ran) {
                if (!outcome.found && (outcome.stoppedByBound || outcome.stoppedByMemory || outcome.interrupted))
                    return SearchStopped(outcome);
                for (const std::string& line : quarvo::logic::DeadlockLines(outcome)) std::cout << line << '\n';
                if (outcome.found && !outcome.replayed) return 2;
                return outcome.found ? 1 : 0;
            }
        }
    }
    // A deadlock is looked for during the generation: it stops at the end
    // of the first level that holds one, whatever the size of the rest.
    options.settings.stopAtDeadlockLevel = deadlock;
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
    if (deadlock)
        std::cout << quarvo::logic::ExploredLine(stoppedAtDeadlock ? explored : static_cast<std::int64_t>(store.StateCount()),
                                                 false)
                  << '\n';
    if (outcome.replayFailed) return 2;
    return outcome.found ? 1 : 0;
}

}  // namespace

int Verify(const std::vector<std::string>& args) {
    ModelOptions options;
    options.settings.semantics = quarvo::Semantics::Interleaving;
    std::string formula, formulaFile;
    bool haveFormula = false, reduce = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool bad = false;
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kVerifyUsage;
            return 0;
        } else if (ModelOption(args, i, options, bad)) {
            if (bad) return 2;
        } else if (a == "--sans-reduction") {
            reduce = false;
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
    if (reduce) {
        bool failed = false;
        const std::shared_ptr<quarvo::Compilation> compilation = InterleavedSpecification(options, failed);
        if (failed) return 2;
        if (compilation) {
            quarvo::SearchSettings settings;
            settings.memoryLimit = options.settings.memoryLimit;
            settings.maxStates = options.settings.maxStates;
            settings.threads = quarvo::ExplorationThreads(options.settings);
            TerminalProgress progress;
            const quarvo::logic::SafetyCheck check = quarvo::logic::CheckSafety(formula, compilation, settings, &progress);
            if (check.applies || !check.status) {
                const quarvo::SearchOutcomeOnVectors& outcome = check.search;
                if (check.status && !outcome.found &&
                    (outcome.stoppedByBound || outcome.stoppedByMemory || outcome.interrupted))
                    return SearchStopped(outcome);
                for (const std::string& line : quarvo::logic::SafetyLines(check)) std::cout << line << '\n';
                if (!check.status || (outcome.found && (!outcome.replayed || !check.traceAccepted))) return 2;
                return check.holds ? 0 : 1;
            }
        }
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
