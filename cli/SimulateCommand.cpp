// The simulate command of calvento: walking a system step by step from the standard input, or replaying a trace file.
#include <cctype>
#include <iostream>
#include <string>

#include "cli/CliSupport.h"
#include "cli/SystemLoading.h"
#include "frontend/MessageText.h"
#include "views/Simulator.h"
#include "views/StemTexts.h"

namespace calvento {
namespace {

constexpr const char* kSimulateUsage =
    "Usage : calvento simulate MODELE [--trace FICHIER] [--maximalite] [--max-etats N]\n"
    "\n"
    "Simule un modèle pas à pas : une spécification (.LOT, engendrée sous la\n"
    "sémantique d'entrelacement, ou de maximalité avec --maximalite), un fichier\n"
    "STEM classique (.STEM) ou un fichier Aldebaran (.aut).\n"
    "Sans --trace, affiche l'état courant et ses transitions possibles, puis lit\n"
    "sur l'entrée standard la suivante à franchir : son numéro ou son action ;\n"
    "« retour » revient d'un pas ; une ligne vide ou la fin de l'entrée termine.\n"
    "  --trace FICHIER  rejoue la trace du fichier (une action par ligne, les\n"
    "                   lignes vides et celles qui commencent par # ignorées) pas\n"
    "                   à pas, et dit où elle cesse d'être possible.\n"
    "\n"
    "Code de sortie : 0 si chaque pas est possible, 1 au premier pas impossible\n"
    "(son numéro et les actions possibles à cet endroit), 2 en cas d'erreur.\n";

std::string StepLine(const quarvo::Simulator& sim, std::size_t k) {
    const quarvo::SimulationStep& s = sim.Steps()[k];
    const quarvo::StateView from = sim.Store().State(s.from);
    return "Étape " + std::to_string(k + 1) + " : " + std::to_string(from.Number) + " -" +
           quarvo::ShownText(quarvo::ArcLabel(from.Arcs[s.arc], sim.Store().actions, sim.GetSemantics())) + "-> " +
           std::to_string(sim.Store().State(s.to).Number);
}

std::string BlockedLine(const quarvo::Simulator& sim) {
    return "Blocage : l'état " + std::to_string(sim.CurrentNumber()) + " n'a aucun successeur.";
}

void ShowState(const quarvo::Simulator& sim) {
    std::cout << "État " << sim.CurrentNumber() << ".\n";
    if (sim.GetSemantics() == quarvo::Semantics::Maximality)
        std::cout << "Evénements maximaux : " << sim.CurrentEvents() << '\n';
    if (sim.Blocked()) {
        std::cout << BlockedLine(sim) << '\n';
        return;
    }
    std::cout << "Transitions possibles :\n";
    std::size_t k = 0;
    for (const quarvo::EnabledTransition& t : sim.Enabled()) {
        std::cout << "  " << ++k << "  " << quarvo::ShownText(t.action);
        if (sim.GetSemantics() == quarvo::Semantics::Maximality && t.event != 0)
            std::cout << " : x" << t.event << ", causes " << t.causes;
        std::cout << " -> " << t.target << '\n';
    }
}

int Interactive(quarvo::Simulator& sim) {
    for (;;) {
        ShowState(sim);
        if (sim.Blocked()) return 0;
        std::cout << "> " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) {
            std::cout << '\n';
            return 0;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos) return 0;
        line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
        if (line == "retour") {
            if (!sim.Back()) std::cout << "Déjà à l'état initial.\n";
            continue;
        }
        const std::vector<quarvo::EnabledTransition> enabled = sim.Enabled();
        std::int64_t n = 0;
        std::size_t chosen = enabled.size();
        if (ParseCount(line, n)) {
            if (n >= 1 && static_cast<std::size_t>(n) <= enabled.size()) chosen = static_cast<std::size_t>(n - 1);
        } else {
            // The first transition with that action, as a trace file would take it.
            for (std::size_t k = 0; k < enabled.size() && chosen == enabled.size(); ++k) {
                const std::string& a = enabled[k].action;
                if (a.size() != line.size()) continue;
                bool same = true;
                for (std::size_t i = 0; i < a.size() && same; ++i)
                    same = std::toupper(static_cast<unsigned char>(a[i])) ==
                           std::toupper(static_cast<unsigned char>(line[i]));
                if (same) chosen = k;
            }
        }
        if (chosen == enabled.size() || !sim.Fire(enabled[chosen].arc)) {
            std::cout << "« " << quarvo::ShownText(line) << " » n'est pas possible ici.\n";
            continue;
        }
        std::cout << StepLine(sim, sim.Position() - 1) << '\n';
    }
}

int ReplayFile(quarvo::Simulator& sim, const std::string& path) {
    const quarvo::TraceFile file = quarvo::ReadTraceFile(path);
    if (!file.status) {
        std::cerr << "calvento : " << file.status.message() << '\n';
        return 2;
    }
    const quarvo::ReplayOutcome outcome = sim.Replay(file.actions);
    for (std::size_t k = 0; k < sim.Steps().size(); ++k) std::cout << StepLine(sim, k) << '\n';
    if (!outcome.complete) {
        for (const std::string& line : quarvo::ReplayFailureLines(outcome)) std::cout << line << '\n';
        return 1;
    }
    std::cout << "Trace possible : " << outcome.replayed << (outcome.replayed > 1 ? " étapes" : " étape")
              << ", jusqu'à l'état " << sim.CurrentNumber() << ".\n";
    if (sim.Blocked()) std::cout << BlockedLine(sim) << '\n';
    return 0;
}

}  // namespace

int Simulate(const std::vector<std::string>& args) {
    ModelOptions options;
    options.settings.semantics = quarvo::Semantics::Interleaving;
    std::string tracePath;
    bool haveTrace = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kSimulateUsage;
            return 0;
        } else if (a == "--maximalite") {
            options.settings.semantics = quarvo::Semantics::Maximality;
        } else if (a == "--entrelacement") {
            options.settings.semantics = quarvo::Semantics::Interleaving;
        } else if (a == "--trace") {
            if (i + 1 >= args.size()) {
                std::cerr << "calvento : --trace attend un nom de fichier.\n";
                return 2;
            }
            tracePath = args[++i];
            haveTrace = true;
        } else if (a == "--max-etats") {
            std::int64_t n = 0;
            if (i + 1 >= args.size() || !ParseCount(args[i + 1], n)) {
                std::cerr << "calvento : --max-etats attend un nombre d'états.\n";
                return 2;
            }
            options.settings.maxStates = n;
            ++i;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "calvento : option inconnue « " << a << " ».\n\n" << kSimulateUsage;
            return 2;
        } else if (options.path.empty()) {
            options.path = a;
        } else {
            std::cerr << kSimulateUsage;
            return 2;
        }
    }
    if (options.path.empty()) {
        std::cerr << kSimulateUsage;
        return 2;
    }
    quarvo::StemStore store;
    if (!LoadSystem(options, store)) return 2;
    if (store.Empty()) {
        std::cerr << "calvento : le système n'a aucun état.\n";
        return 2;
    }
    quarvo::Simulator sim(store, options.settings.semantics);
    return haveTrace ? ReplayFile(sim, tracePath) : Interactive(sim);
}

}  // namespace calvento
