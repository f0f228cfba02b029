// The export command of calvento: a specification written in the other syntax of LOTOS.
#include <iostream>

#include "cli/CliSupport.h"
#include "frontend/StandardWriter.h"
#include "frontend/TextFile.h"

namespace calvento {
namespace {

constexpr const char* kExportUsage =
    "Usage : calvento export FICHIER (--lotos | --dialecte) [-o SORTIE]\n"
    "\n"
    "Compile la spécification FICHIER, écrite dans l'une ou l'autre syntaxe, et\n"
    "l'écrit dans la syntaxe demandée, une construction par ligne, indentée :\n"
    "  --lotos      la syntaxe de la norme ISO 8807 du LOTOS de base\n"
    "               (specification … behaviour … endspec), lisible par les autres\n"
    "               boîtes à outils ; la fonctionnalité de chaque processus (exit ou\n"
    "               noexit) est calculée ;\n"
    "  --dialecte   la syntaxe SYSTEM … ENDSYS de QUARVO ; les choix et\n"
    "               parallélismes sur des portes y sont développés ;\n"
    "  -o SORTIE    écrit le texte dans SORTIE (Windows-1252, CR LF) plutôt que sur\n"
    "               la sortie standard.\n"
    "\n"
    "Relire le texte écrit donne le même STEM, octet pour octet.\n"
    "\n"
    "Code de sortie : 0 si le texte est écrit, 2 sinon (les messages de compilation\n"
    "sont alors affichés).\n";

}  // namespace

int Export(const std::vector<std::string>& args) {
    std::string input, output;
    int syntax = 0;  // 1: standard, 2: dialect
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kExportUsage;
            return 0;
        } else if (a == "--lotos") {
            syntax = 1;
        } else if (a == "--dialecte") {
            syntax = 2;
        } else if (a == "-o") {
            if (i + 1 >= args.size()) {
                std::cerr << "calvento : -o attend un nom de fichier.\n";
                return 2;
            }
            output = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "calvento : option inconnue « " << a << " ».\n\n" << kExportUsage;
            return 2;
        } else if (input.empty()) {
            input = a;
        } else {
            std::cerr << kExportUsage;
            return 2;
        }
    }
    if (input.empty() || syntax == 0) {
        std::cerr << kExportUsage;
        return 2;
    }
    // The text read is never the one replaced: its comments and layout would be lost.
    if (!OutputsAreDistinct({input}, {output})) return 2;
    CollectingSink messages;
    std::shared_ptr<quarvo::Compilation> compilation = CompileFile(input, messages);
    if (!compilation) {
        for (const std::string& line : messages.lines) std::cout << line << '\n';
        return 2;
    }
    const quarvo::StandardText text =
        syntax == 1 ? quarvo::WriteStandardLotos(*compilation) : quarvo::WriteDialectLotos(*compilation);
    if (!text.status) {
        std::cerr << "calvento : " << text.status.message() << '\n';
        return 2;
    }
    if (output.empty()) {
        for (const std::string& line : text.lines) std::cout << line << '\n';
        return 0;
    }
    const std::string bytes = quarvo::EncodeLinesWindows1252(text.lines);
    quarvo::FileOutput file;
    file.path = output;
    file.write = [&bytes](std::ostream& out) { out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); };
    return WriteOutputs({file}) ? 0 : 2;
}

}  // namespace calvento
