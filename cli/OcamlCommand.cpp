// The ocaml command of calvento: the OCaml program of a specification, and optionally its result.
#include <iostream>

#include "cli/CliSupport.h"
#include "frontend/TextFile.h"
#include "stemio/OcamlWriter.h"
#include "stemio/ToolChain.h"

namespace calvento {
namespace {

constexpr const char* kOcamlUsage =
    "Usage : calvento ocaml FICHIER.LOT [--gpm] [--dot] [--run]\n"
    "\n"
    "Compile la spécification comme « calvento compile » (arrêt sur la première\n"
    "erreur), puis affiche le programme OCaml temp.ml qui la confie aux modules\n"
    "OCaml de la chaîne externe :\n"
    "  (par défaut)  STEM alpha-réduit au format STEM classique (Calventosource) ;\n"
    "  --dot         STEM alpha-réduit au format DOT ;\n"
    "  --gpm         graphe des pas maximaux (LotosGPM), toujours au format DOT ;\n"
    "  --run         lance la chaîne (ocamlc, ocamlrun) dans le répertoire de travail\n"
    "                et affiche le résultat, Sortie.txt, au lieu du programme.\n"
    "\n"
    "Le répertoire de travail est $QUARVO_CAMLDIR s'il est donné ; sinon un\n"
    "répertoire privé, camlQuarvo-UID-PID-XXXXXX dans le répertoire temporaire\n"
    "($TMPDIR ou /tmp), créé pour cette exécution (droits 0700) et supprimé à la fin.\n"
    "\n"
    "Code de sortie : 0 en cas de succès, 2 sinon.\n";

}  // namespace

int Ocaml(const std::vector<std::string>& args) {
    std::string input;
    bool gpm = false, dot = false, run = false;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::cout << kOcamlUsage;
            return 0;
        } else if (a == "--gpm") {
            gpm = true;
        } else if (a == "--dot") {
            dot = true;
        } else if (a == "--run") {
            run = true;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "calvento : option inconnue « " << a << " ».\n\n" << kOcamlUsage;
            return 2;
        } else if (input.empty()) {
            input = a;
        } else {
            std::cerr << kOcamlUsage;
            return 2;
        }
    }
    if (input.empty()) {
        std::cerr << kOcamlUsage;
        return 2;
    }
    // The compile lines go to the standard error, so that the standard output
    // holds only the program or the result.
    CollectingSink compileLines;
    std::shared_ptr<quarvo::Compilation> compilation = CompileFile(input, compileLines);
    if (!compilation) {
        for (const std::string& line : compileLines.lines) std::cerr << line << '\n';
        return 2;
    }
    const quarvo::OcamlOutput output = gpm ? quarvo::OcamlOutput::Gpm : quarvo::OcamlOutput::AlphaReduced;
    const quarvo::OcamlFormat format = dot || gpm ? quarvo::OcamlFormat::Dot : quarvo::OcamlFormat::Stem;

    if (!run) {
        for (const std::string& line : quarvo::OcamlProgramLines(compilation.get(), output, format))
            std::cout << line << '\n';
        return 0;
    }

    quarvo::ToolChain chain(quarvo::ModuleDirectory());
    const quarvo::Status produced = chain.Produce(compilation.get(), output, format);
    if (!produced) {
        if (!produced.message().empty()) std::cerr << "calvento : " << produced.message() << '\n';
        // A private work directory goes with this run: its log is shown now.
        quarvo::TextFileResult log = quarvo::ReadTextFile(chain.PathOf("temp.log"));
        if (log.status)
            for (const std::string& line : log.lines) std::cerr << line << '\n';
        return 2;
    }
    quarvo::TextFileResult result = quarvo::ReadTextFile(chain.PathOf("Sortie.txt"));
    if (!result.status) {
        std::cerr << "calvento : " << result.status.message() << '\n';
        return 2;
    }
    for (const std::string& line : result.lines) std::cout << line << '\n';
    chain.RemoveRunFiles();
    return 0;
}

}  // namespace calvento
