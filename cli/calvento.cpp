// calvento: the command-line face of the QUARVO core.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"

namespace {

constexpr const char* kUsage =
    "Usage : calvento COMMANDE [OPTIONS]\n"
    "\n"
    "Outil en ligne de commande du générateur Calvento de QUARVO.\n"
    "\n"
    "Commandes :\n"
    "  compile FICHIER.LOT   compile une spécification LOTOS et affiche les messages\n"
    "                        de compilation\n"
    "\n"
    "Options :\n"
    "  --help                affiche cette aide\n"
    "\n"
    "« calvento COMMANDE --help » détaille une commande.\n";

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

class StdoutSink final : public quarvo::MessageSink {
public:
    void Append(std::string_view line) override { std::cout << line << '\n'; }
};

int Compile(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
        bool help = args.size() == 1;
        (help ? std::cout : std::cerr) << kCompileUsage;
        return help ? 0 : 2;
    }
    quarvo::TextFileResult file = quarvo::ReadTextFile(args[0]);
    if (!file.error.empty()) {
        std::cerr << "calvento : " << file.error << '\n';
        return 2;
    }
    std::error_code ec;
    std::string startDirectory = std::filesystem::current_path(ec).string();
    quarvo::VectorLineSource source(file.lines);
    StdoutSink sink;
    quarvo::CompileOutcome outcome = quarvo::CompileSpecification(source, startDirectory, sink);
    if (!outcome.tablesLoaded) {
        std::cerr << "calvento : compilation abandonnée. " << outcome.tableError << '\n';
        return 2;
    }
    return outcome.ok() ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "compile") return Compile(args);
    std::cerr << "calvento : commande inconnue « " << command << " ».\n\n" << kUsage;
    return 2;
}
