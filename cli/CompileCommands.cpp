// The compile and generate commands of calvento.
#include <iostream>

#include "cli/CliSupport.h"
#include "frontend/Parser.h"
#include "generation/Generator.h"
#include "generation/StemWriter.h"

namespace calvento {
namespace {

constexpr const char* kCompileUsage =
    "Usage : calvento compile FICHIER.LOT\n"
    "\n"
    "Compile la spécification LOTOS FICHIER.LOT (texte Windows-1252, fins de ligne\n"
    "CR LF ou LF) et affiche les lignes de la liste des messages : « Compilation... »,\n"
    "les erreurs éventuelles avec leur numéro de ligne, puis le bilan.\n"
    "\n"
    "Les tables d'analyse sont cherchées dans le répertoire « tables » du répertoire\n"
    "courant, puis à côté du programme, puis dans le répertoire de données installé.\n"
    "\n"
    "Code de sortie : 0 si la compilation réussit, 2 sinon.\n";

constexpr const char* kGenerateUsage =
    "Usage : calvento generate FICHIER.LOT [--entrelacement] [--cpbr] [--max-etats N]\n"
    "                          [--memoire-max N] [--fils N] [-o FICHIER.STEM]\n"
    "                          [--aut FICHIER.aut] [--aut-noms-caches]\n"
    "\n"
    "Compile la spécification comme « calvento compile » (arrêt sur la première\n"
    "erreur), puis engendre le système de transitions étiquetées :\n"
    "  (par défaut)       sémantique de maximalité : le STEM ;\n"
    "  --entrelacement    sémantique d'entrelacement : le STE ;\n"
    "  --cpbr             états identifiés modulo la relation CPBR (maximalité) ;\n"
    "  --max-etats N      n'engendre pas plus de N états : l'exploration s'arrête\n"
    "                     à la première transition qui en demanderait un de plus ;\n"
    "  --memoire-max N    arrête proprement l'exploration avant que la mémoire\n"
    "                     utilisée n'atteigne N mégaoctets (par défaut : la mémoire\n"
    "                     disponible de la machine) ; le STEM déjà construit reste\n"
    "                     utilisable ;\n"
    "  --fils N           explore avec N fils d'exécution (par défaut : un par cœur\n"
    "                     de la machine) ; le résultat ne dépend pas de N ;\n"
    "  -o FICHIER.STEM    écrit le fichier STEM classique (-o - : sur la sortie\n"
    "                     standard, les messages allant alors sur l'erreur) ;\n"
    "  --aut FICHIER.aut  écrit le système au format Aldebaran (des), lisible par\n"
    "                     les autres boîtes à outils d'algèbres de processus ;\n"
    "                     toute action interne (I et chaque action cachée I_…)\n"
    "                     y est écrite i ;\n"
    "  --aut-noms-caches  écrit les actions cachées sous leur nom I_…, que les\n"
    "                     autres outils liront comme des actions visibles.\n"
    "\n"
    "Une génération arrêtée par --max-etats ou faute de mémoire affiche le nombre\n"
    "d'états et d'arcs atteints et écrit quand même les fichiers demandés (-o, --aut)\n"
    "du STEM partiel, en le disant.\n"
    "\n"
    "Les fichiers demandés sont écrits ensemble, une fois tous complets : si l'un\n"
    "ne peut l'être, aucun fichier existant n'est remplacé. Un périphérique, un tube\n"
    "nommé ou une socket reçoit le fichier sans être remplacé. Un fichier de sortie\n"
    "qui serait la spécification ou l'autre fichier de sortie est refusé avant\n"
    "toute écriture.\n"
    "\n"
    "Code de sortie : 0 si la génération est complète, 3 si elle a été arrêtée par\n"
    "--max-etats ou faute de mémoire (fichiers partiels écrits), 2 en cas d'erreur\n"
    "(rien n'est alors écrit).\n";

}  // namespace

int Compile(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
        bool help = args.size() == 1;
        (help ? std::cout : std::cerr) << kCompileUsage;
        return help ? 0 : 2;
    }
    std::vector<std::string> lines;
    if (!ReadLines(args[0], lines)) return 2;
    quarvo::VectorLineSource source(lines);
    StdoutSink sink;
    quarvo::CompileOutcome outcome = quarvo::CompileSpecification(source, StartDirectory(), sink);
    if (!outcome.tables) {
        std::cerr << "calvento : compilation abandonnée. " << outcome.tables.message() << '\n';
        return 2;
    }
    return outcome.ok() ? 0 : 2;
}

int Generate(const std::vector<std::string>& args) {
    GenerateOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kGenerateUsage;
            return 0;
        }
        const OptionRead read = ReadGenerateOption(args, i, options, "calvento");
        if (read == OptionRead::Invalid) return 2;
        if (read == OptionRead::Taken) continue;
        if (!a.empty() && a[0] == '-') {
            std::cerr << "calvento : option inconnue « " << a << " ».\n\n" << kGenerateUsage;
            return 2;
        } else if (options.input.empty()) {
            options.input = a;
        } else {
            std::cerr << kGenerateUsage;
            return 2;
        }
    }
    quarvo::GenerationSettings& settings = options.settings;
    const std::string& input = options.input;
    const std::string& stemPath = options.stemPath;
    const std::string& autPath = options.autPath;
    const quarvo::AutOptions& autOptions = options.aut;
    if (input.empty()) {
        std::cerr << kGenerateUsage;
        return 2;
    }
    // Nothing is generated for outputs that would destroy the specification or each other.
    if (!OutputsAreDistinct({input}, {stemPath, autPath})) return 2;
    StdoutSink messages(WritesStandardOutput({stemPath, autPath}));
    std::shared_ptr<quarvo::Compilation> compilation = CompileFile(input, messages, options.settings.memoryLimit);
    if (!compilation) return 2;

    quarvo::StemStore store;
    quarvo::GenerationResult result;
    messages.Append(quarvo::GenerationRunningMessage);
    {
        TerminalProgress progress;
        result = quarvo::GenerateStem(compilation, settings, store, &progress);
    }
    if (result.abandoned) return OutOfMemory();
    for (const std::string& line : quarvo::GenerationSummaryLines(result)) messages.Append(line);
    // A generation stopped by the bound or by memory still leaves a usable
    // STEM: its files are written all the same, and said to be partial.
    const bool partial = result.interrupted || result.stoppedByMemory;
    std::vector<quarvo::FileOutput> outputs;
    if (!stemPath.empty())
        outputs.push_back(
            {stemPath, [&](std::ostream& out) { quarvo::WriteClassicStem(out, store, store.StemStateCount); }});
    if (!autPath.empty())
        outputs.push_back({autPath, [&](std::ostream& out) { quarvo::WriteAut(out, store, autOptions); }});
    if (!WriteOutputs(std::move(outputs))) return 2;
    if (!stemPath.empty())
        messages.Append(partial ? "STEM partiel écrit dans « " + stemPath + " » (génération interrompue)."
                                : WrittenLine("STEM écrit", stemPath));
    if (!autPath.empty())
        messages.Append(partial ? "Fichier .aut partiel écrit dans « " + autPath + " » (génération interrompue)."
                                : WrittenLine("Fichier .aut écrit", autPath));
    return partial ? 3 : 0;
}

}  // namespace calvento
