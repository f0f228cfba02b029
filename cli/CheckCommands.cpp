// The regenerate and check commands of calvento: reading STEM files and checking CTL formulas.
#include <iostream>

#include "cli/CliSupport.h"
#include "ctl/CtlSession.h"
#include "ctl/Diagnostic.h"
#include "generation/Generator.h"
#include "stemio/StemReader.h"

namespace calvento {
namespace {

constexpr const char* kRegenerateUsage =
    "Usage : calvento regenerate FICHIER.STEM [--memoire-max N]\n"
    "\n"
    "Relit un fichier STEM classique comme la commande « Régénérer le STEM » et\n"
    "affiche « STEM régénéré avec succès. » avec le nombre d'états et d'arcs, ou\n"
    "« Erreur dans le fichier ligne: » suivi du numéro de la ligne fautive.\n"
    "  --memoire-max N  abandonne la lecture avant que la mémoire utilisée\n"
    "                   n'atteigne N mégaoctets (par défaut : la mémoire\n"
    "                   disponible de la machine).\n"
    "\n"
    "Code de sortie : 0 en cas de succès, 2 sinon.\n";

constexpr const char* kCheckUsage =
    "Usage : calvento check MODELE (FORMULE | -f FICHIER.CTL) [--cpbr]\n"
    "                       [--diagnostic] [--chemin N]\n"
    "\n"
    "Vérifie une formule CTL à l'état initial d'un STEM. MODELE est une spécification\n"
    "(.LOT, compilée et engendrée comme par « calvento generate ») ou un fichier STEM\n"
    "classique (.STEM, relu comme par « calvento regenerate »). La formule est donnée\n"
    "en argument ou lue dans FICHIER.CTL ; une formule vide est une erreur. Une ligne\n"
    "« Attention : aucune action NOM dans le STEM. » précède le verdict quand une\n"
    "proposition ne nomme aucune action du STEM, suivi de l'action la plus proche\n"
    "(« GET ? ») quand une action n'en diffère que d'une ou deux lettres.\n"
    "  --cpbr                   réglage de la génération d'un modèle .LOT ;\n"
    "  --diagnostic             affiche ensuite, pour chaque sous-formule : son numéro,\n"
    "                           son texte, « vérifiée: » et les états où elle est\n"
    "                           vraie, « non vérifiée: » et les autres (tabulations) ;\n"
    "  --chemin N               affiche un chemin de l'état initial à l'état N, un état\n"
    "                           par ligne avec l'arc emprunté.\n"
    "\n"
    "Code de sortie : 0 si la formule est vérifiée, 1 sinon, 2 en cas d'erreur.\n";

constexpr const char* kInterleavingRefusal =
    "calvento : les formules CTL parlent des actions des événements maximaux de chaque état ; sur un STE engendré "
    "sous la sémantique d'entrelacement, leurs verdicts n'ont pas de sens. Vérifiez les propriétés d'actions avec "
    "« calvento verify MODELE FORMULE » (mu-calcul modal).";

bool EndsWith(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char a = text[text.size() - suffix.size() + i];
        char b = suffix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

// Reads a classic STEM file into store, as a stream: its size is no limit.
// Prints the reader's error and returns false. eventNamesExhausted, when
// given, tells whether some event of the file is named -1.
// memoryLimit: that of the memory stop (0: the machine's memory).
bool ReadStemFile(const std::string& path, quarvo::StemStore& store, bool* eventNamesExhausted = nullptr,
                  std::int64_t memoryLimit = 0) {
    quarvo::StemReadResult read = quarvo::ReadClassicStemFile(path, nullptr, memoryLimit);
    if (read.outOfMemory) {
        OutOfMemory();
        return false;
    }
    if (read.ReadingFailed()) {
        std::cerr << "calvento : " << read.status.message() << '\n';
        return false;
    }
    if (!read.status) {
        std::cout << read.status.message() << '\n';
        return false;
    }
    if (eventNamesExhausted) *eventNamesExhausted = read.eventNamesExhausted;
    quarvo::AdoptRegeneratedStem(store, std::move(read.stem));
    return true;
}

std::string Numbers(const std::vector<std::int32_t>& numbers) {
    std::string text;
    for (std::int32_t n : numbers) text += " " + std::to_string(n);
    return text;
}

}  // namespace

int Regenerate(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kRegenerateUsage;
        return 0;
    }
    std::string path;
    std::int64_t memoryLimit = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--memoire-max") {
            if (!ParseMemoryLimit(i + 1 < args.size() ? args[++i] : std::string(), memoryLimit)) return 2;
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            path.clear();
            break;
        }
    }
    if (path.empty()) {
        std::cerr << kRegenerateUsage;
        return 2;
    }
    quarvo::StemStore store;
    bool eventNamesExhausted = false;
    if (!ReadStemFile(path, store, &eventNamesExhausted, memoryLimit)) return 2;
    std::cout << quarvo::StemReadSuccessText << '\n';
    std::cout << "Nombre d'états = " << store.StateCount() << ".\n";
    std::cout << "Nombre d'arcs = " << store.ArcCount() << ".\n";
    if (eventNamesExhausted) std::cout << quarvo::EventNamesExhaustedWarning << '\n';
    return 0;
}

int Check(const std::vector<std::string>& args) {
    quarvo::GenerationSettings settings;
    std::string model, formulaText, formulaFile;
    bool haveFormula = false, diagnostic = false;
    std::int64_t pathTo = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kCheckUsage;
            return 0;
        } else if (a == "--entrelacement") {
            // The atoms of CTL are the actions of maximal events: an STE has none.
            std::cerr << kInterleavingRefusal << '\n';
            return 2;
        } else if (a == "--cpbr") {
            settings.cpbrOff = false;
        } else if (a == "--diagnostic") {
            diagnostic = true;
        } else if (a == "--chemin") {
            std::int64_t n = 0;
            if (i + 1 >= args.size() || !(args[i + 1] == "0" || ParseCount(args[i + 1], n)) || n > INT32_MAX) {
                std::cerr << "calvento : --chemin attend un numéro d'état.\n";
                return 2;
            }
            pathTo = n;
            ++i;
        } else if (a == "-f") {
            if (i + 1 >= args.size()) {
                std::cerr << "calvento : -f attend un nom de fichier.\n";
                return 2;
            }
            formulaFile = args[++i];
            haveFormula = true;
        } else if (model.empty()) {
            model = a;
        } else if (!haveFormula) {
            formulaText = a;
            haveFormula = true;
        } else {
            std::cerr << kCheckUsage;
            return 2;
        }
    }
    if (model.empty() || !haveFormula) {
        std::cerr << kCheckUsage;
        return 2;
    }

    quarvo::StemStore store;
    if (EndsWith(model, ".STEM")) {
        if (!ReadStemFile(model, store)) return 2;
    } else {
        CollectingSink compileLines;
        std::shared_ptr<quarvo::Compilation> compilation = CompileFile(model, compileLines);
        if (!compilation) {
            for (const std::string& line : compileLines.lines) std::cout << line << '\n';
            return 2;
        }
        TerminalProgress progress;
        if (quarvo::GenerateStem(compilation, settings, store, &progress).abandoned) return OutOfMemory();
    }

    std::vector<std::string> lines;
    if (formulaFile.empty()) lines.push_back(formulaText);
    else if (!ReadLines(formulaFile, lines)) return 2;
    quarvo::CtlSession session(StartDirectory());
    quarvo::VectorLineSource source(lines);
    quarvo::FormulaCompileResult compiled = session.Compile(source);
    if (!compiled.ok()) {
        std::cout << compiled.Message() << '\n';
        return 2;
    }
    std::cout << quarvo::FormulaCompiledMessage << '\n';
    quarvo::Verdict verdict = session.Verify(store);
    // Before the verdict, as the window shows it while the verdict is on screen.
    if (const std::string warning = session.Warning(); !warning.empty()) std::cout << warning << '\n';
    std::cout << quarvo::VerdictMessage(verdict) << '\n';
    if (verdict != quarvo::Verdict::Verified && verdict != quarvo::Verdict::NotVerified) return 2;

    if (diagnostic) {
        for (const quarvo::DiagnosticEntry& e : quarvo::Diagnose(store, session.Formula(), session.Labels()))
            std::cout << e.number << '\t' << e.text << "\tvérifiée:" << Numbers(e.states.holds)
                      << "\tnon vérifiée:" << Numbers(e.states.fails) << '\n';
    }
    if (pathTo >= 0) {
        quarvo::PathResult path = quarvo::BuildPath(store, static_cast<std::int32_t>(pathTo));
        if (!path.status) {
            std::cout << path.status.message() << '\n';
        } else {
            for (const quarvo::StateView s : path.path.States()) {
                std::cout << s.Number;
                if (!s.Arcs.empty()) {
                    const quarvo::ArcView a = s.Arcs.front();
                    std::cout << '\t' << quarvo::EventSetText(a.Causes, store.actions) << '\t'
                              << store.actions.Text(a.Action) << '\t' << a.Event << '\t' << a.Target;
                }
                std::cout << '\n';
            }
        }
    }
    return verdict == quarvo::Verdict::Verified ? 0 : 1;
}

}  // namespace calvento
