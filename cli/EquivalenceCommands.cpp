// The compare and reduce commands of calvento: equivalences of behaviours and reduced systems.
#include <iostream>

#include "cli/CliSupport.h"
#include "equivalence/Compare.h"
#include "equivalence/Equivalence.h"
#include "generation/StemWriter.h"
#include "stemio/ModelFile.h"

namespace calvento {
namespace {

constexpr const char* kCompareUsage =
    "Usage : calvento compare MODELE1 MODELE2 [--fort | --branchement | --branchement-div\n"
    "                         | --observationnelle | --traces] [--maximalite]\n"
    "                         [--memoire-max N]\n"
    "\n"
    "Compare les comportements de deux modèles. Un modèle est une spécification\n"
    "(.LOT, compilée et engendrée), un fichier STEM classique (.STEM) ou un fichier\n"
    "au format Aldebaran (.aut). La comparaison porte sur la vue entrelacée des\n"
    "systèmes : les événements et leurs causes sont oubliés, toute action interne\n"
    "(I et chaque action cachée I_…, i ou tau dans un fichier .aut) est l'action\n"
    "interne, delta est une action visible. Une étiquette d'un fichier .aut est\n"
    "lue entière, quelle qu'elle soit (\"send(1)\", \"G !TRUE\", \"a,b\") ; celle\n"
    "qu'un autre outil écrit visible et qui commence par I_ est lue comme interne.\n"
    "  --fort              bissimulation forte (par défaut) ;\n"
    "  --branchement       bissimulation de branchement ;\n"
    "  --branchement-div   bissimulation de branchement sensible à la divergence ;\n"
    "  --observationnelle  bissimulation faible (équivalence observationnelle) ;\n"
    "  --traces            équivalence de traces ;\n"
    "  --maximalite        engendre les spécifications sous la sémantique de\n"
    "                      maximalité (par défaut : d'entrelacement) ;\n"
    "  --memoire-max N     abandonne la lecture ou la génération d'un modèle, ou la\n"
    "                      comparaison, avant que la mémoire utilisée n'atteigne\n"
    "                      N mégaoctets (par défaut : la mémoire disponible de la\n"
    "                      machine).\n"
    "\n"
    "Affiche « Équivalents. » ou « Non équivalents. » puis, dans ce cas, la raison :\n"
    "une formule vraie du premier modèle et fausse du second, et une trace qui les\n"
    "sépare.\n"
    "\n"
    "Code de sortie : 0 si les modèles sont équivalents, 1 s'ils ne le sont pas,\n"
    "2 en cas d'erreur (fichier illisible, erreur de compilation, mémoire épuisée).\n";

constexpr const char* kReduceUsage =
    "Usage : calvento reduce MODELE [--fort | --branchement | --branchement-div] [--etiquettes]\n"
    "                        [-o FICHIER.STEM] [--aut FICHIER.aut] [--aut-noms-caches]\n"
    "                        [--maximalite] [--memoire-max N]\n"
    "\n"
    "Réduit un modèle (.LOT, .STEM ou .aut, comme pour « calvento compare ») au\n"
    "quotient de sa vue entrelacée par une bissimulation, et affiche le nombre\n"
    "d'états et d'arcs avant et après :\n"
    "  --fort              bissimulation forte (par défaut) ;\n"
    "  --branchement       bissimulation de branchement ;\n"
    "  --branchement-div   bissimulation de branchement sensible à la divergence ;\n"
    "  --etiquettes        garde séparés les états dont les événements maximaux portent\n"
    "                      des actions différentes, pour que les verdicts CTL soient\n"
    "                      les mêmes sur le STEM réduit ;\n"
    "  -o FICHIER.STEM     écrit le système réduit au format STEM classique (ses\n"
    "                      actions sont des noms de 32 caractères au plus : les\n"
    "                      étiquettes d'un fichier .aut qu'il ne peut porter\n"
    "                      demandent --aut ; -o - : sur la sortie standard, le\n"
    "                      bilan allant sur l'erreur) ;\n"
    "  --aut FICHIER.aut   l'écrit au format Aldebaran (des) ;\n"
    "  --aut-noms-caches   y écrit les actions cachées sous leur nom I_…, que les\n"
    "                      autres outils liront comme des actions visibles ;\n"
    "  --maximalite        engendre une spécification sous la sémantique de\n"
    "                      maximalité (par défaut : d'entrelacement) ;\n"
    "  --memoire-max N     comme pour « calvento compare ».\n"
    "\n"
    "Les fichiers demandés sont écrits ensemble, comme pour « calvento generate ».\n"
    "\n"
    "Code de sortie : 0 en cas de succès, 2 en cas d'erreur (rien n'est alors écrit),\n"
    "3 si le calcul a été arrêté.\n";

// The equivalence an option names, if it names one among those allowed.
bool EquivalenceOption(const std::string& option, bool anyEquivalence, quarvo::Equivalence& equivalence) {
    using quarvo::Equivalence;
    if (option == "--fort") equivalence = Equivalence::Strong;
    else if (option == "--branchement") equivalence = Equivalence::Branching;
    else if (option == "--branchement-div") equivalence = Equivalence::DivergenceBranching;
    else if (anyEquivalence && option == "--observationnelle") equivalence = Equivalence::Weak;
    else if (anyEquivalence && option == "--traces") equivalence = Equivalence::Traces;
    else return false;
    return true;
}

// Loads a model, printing what went wrong: the compiler's lines on the
// standard output (as check does) or on report, the failure on the standard
// error. Returns false on failure; stopped tells a load stopped from outside.
// memoryLimit: that of the memory stop of the reading or the generation.
bool Load(const std::string& path, quarvo::Semantics semantics, quarvo::Progress& progress, quarvo::StemStore& stem,
          bool& stopped, std::int64_t memoryLimit, std::ostream& report = std::cout) {
    quarvo::LoadedModel model = quarvo::LoadModel(path, semantics, StartDirectory(), &progress, memoryLimit);
    for (const std::string& line : model.messages) report << line << '\n';
    if (!model.status) {
        std::cerr << "calvento : " << model.status.message() << '\n';
        return false;
    }
    stopped = model.stopped;
    stem = std::move(model.stem);
    return !stopped;
}

// "--memoire-max N" at args[i]: the limit in bytes, i moved past N. False,
// with the message printed, when N is no count of megabytes.
bool MemoryOption(const std::vector<std::string>& args, std::size_t& i, std::int64_t& limit) {
    std::int64_t megabytes = 0;
    if (i + 1 >= args.size() || !ParseCount(args[i + 1], megabytes) || megabytes > (std::int64_t{1} << 40)) {
        std::cerr << "calvento : --memoire-max attend un nombre entier positif de mégaoctets.\n";
        return false;
    }
    ++i;
    limit = megabytes * 1024 * 1024;
    return true;
}

}  // namespace

int Compare(const std::vector<std::string>& args) {
    quarvo::Equivalence equivalence = quarvo::Equivalence::Strong;
    quarvo::Semantics semantics = quarvo::Semantics::Interleaving;
    std::vector<std::string> models;
    std::int64_t memoryLimit = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kCompareUsage;
            return 0;
        } else if (a == "--memoire-max") {
            if (!MemoryOption(args, i, memoryLimit)) return 2;
        } else if (EquivalenceOption(a, true, equivalence)) {
        } else if (a == "--maximalite") {
            semantics = quarvo::Semantics::Maximality;
        } else if (a == "--memoire-max") {
            if (!ParseMemoryLimit(i + 1 < args.size() ? args[++i] : std::string(), memoryLimit)) return 2;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "calvento : option inconnue « " << a << " ».\n\n" << kCompareUsage;
            return 2;
        } else {
            models.push_back(a);
        }
    }
    if (models.size() != 2) {
        std::cerr << kCompareUsage;
        return 2;
    }
    quarvo::CompareResult result;
    {
        TerminalProgress progress;
        quarvo::StemStore first, second;
        bool stopped = false;
        if (!Load(models[0], semantics, progress, first, stopped, memoryLimit) ||
            !Load(models[1], semantics, progress, second, stopped, memoryLimit))
            return 2;
        result = quarvo::CompareStems(first, second, equivalence, &progress, memoryLimit);
    }
    if (!result.status) {
        std::cerr << "calvento : " << result.status.message() << '\n';
        return 2;
    }
    if (result.stopped) return 2;
    for (const std::string& line :
         quarvo::CompareLines(result, equivalence, "« " + models[0] + " »", "« " + models[1] + " »"))
        std::cout << line << '\n';
    return result.equivalent ? 0 : 1;
}

int Reduce(const std::vector<std::string>& args) {
    quarvo::ReduceOptions options;
    quarvo::Semantics semantics = quarvo::Semantics::Interleaving;
    quarvo::AutOptions autOptions;
    std::string model, stemPath, autPath;
    std::int64_t memoryLimit = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::cout << kReduceUsage;
            return 0;
        } else if (EquivalenceOption(a, false, options.equivalence)) {
        } else if (a == "--memoire-max") {
            if (!MemoryOption(args, i, memoryLimit)) return 2;
        } else if (a == "--etiquettes") {
            options.keepStateLabels = true;
        } else if (a == "--maximalite") {
            semantics = quarvo::Semantics::Maximality;
        } else if (a == "--aut-noms-caches") {
            autOptions.keepHiddenNames = true;
        } else if (a == "--memoire-max") {
            if (!ParseMemoryLimit(i + 1 < args.size() ? args[++i] : std::string(), memoryLimit)) return 2;
        } else if (a == "-o") {
            if (!value(stemPath)) {
                std::cerr << "calvento : -o attend un nom de fichier.\n";
                return 2;
            }
        } else if (a == "--aut") {
            if (!value(autPath)) {
                std::cerr << "calvento : --aut attend un nom de fichier.\n";
                return 2;
            }
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "calvento : option inconnue « " << a << " ».\n\n" << kReduceUsage;
            return 2;
        } else if (model.empty()) {
            model = a;
        } else {
            std::cerr << kReduceUsage;
            return 2;
        }
    }
    if (model.empty()) {
        std::cerr << kReduceUsage;
        return 2;
    }
    // Nothing is computed for outputs that would destroy the model or each other.
    if (!OutputsAreDistinct({model}, {stemPath, autPath})) return 2;
    std::ostream& report = WritesStandardOutput({stemPath, autPath}) ? std::cerr : std::cout;
    quarvo::ReduceResult result;
    {
        TerminalProgress progress;
        quarvo::StemStore stem;
        bool stopped = false;
        if (!Load(model, semantics, progress, stem, stopped, memoryLimit, report)) return stopped ? 3 : 2;
        result = quarvo::ReduceStem(stem, options, &progress);
    }
    if (!result.status) {
        std::cerr << "calvento : " << result.status.message() << '\n';
        return 2;
    }
    if (result.stopped) return 3;
    const quarvo::StemStore& quotient = result.quotient;
    // An action of an .aut file that the STEM file cannot hold fails the
    // command before anything is written.
    if (!stemPath.empty()) {
        if (const quarvo::Status held = quarvo::StemCanHold(quotient); !held) {
            std::cerr << "calvento : " << held.message() << '\n';
            return 2;
        }
    }
    for (const std::string& line : quarvo::ReduceSummaryLines(result)) report << line << '\n';
    const auto stateCount = static_cast<std::int32_t>(quotient.StateCount());
    std::vector<quarvo::FileOutput> outputs;
    if (!stemPath.empty())
        outputs.push_back({stemPath, [&](std::ostream& out) { quarvo::WriteClassicStem(out, quotient, stateCount); }});
    if (!autPath.empty())
        outputs.push_back({autPath, [&](std::ostream& out) { quarvo::WriteAut(out, quotient, autOptions); }});
    if (!WriteOutputs(std::move(outputs))) return 2;
    if (!stemPath.empty()) report << WrittenLine("STEM écrit", stemPath) << '\n';
    if (!autPath.empty()) report << WrittenLine("Fichier .aut écrit", autPath) << '\n';
    return 0;
}

}  // namespace calvento
