// calvento: the command-line face of the QUARVO core.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

#include <chrono>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"
#include "generation/Generator.h"
#include "generation/StemWriter.h"

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

constexpr const char* kGenerateUsage =
    "Usage : calvento generate FICHIER.LOT [--entrelacement] [--cpbr] [--max-etats N]\n"
    "                          [-o FICHIER.STEM] [--aut FICHIER.aut]\n"
    "\n"
    "Compile la spécification comme « calvento compile » (arrêt sur la première\n"
    "erreur), puis engendre le système de transitions étiquetées :\n"
    "  (par défaut)       sémantique de maximalité : le STEM ;\n"
    "  --entrelacement    sémantique d'entrelacement : le STE ;\n"
    "  --cpbr             états identifiés modulo la relation CPBR (maximalité) ;\n"
    "  --max-etats N      arrête l'exploration une fois N états atteints ;\n"
    "  -o FICHIER.STEM    écrit le fichier STEM classique ;\n"
    "  --aut FICHIER.aut  écrit le système au format Aldebaran (des), lisible par\n"
    "                     les autres boîtes à outils d'algèbres de processus.\n"
    "\n"
    "Code de sortie : 0 si la génération est complète, 3 si elle a été arrêtée par\n"
    "--max-etats, 2 en cas d'erreur.\n";

class StdoutSink final : public quarvo::MessageSink {
public:
    void Append(std::string_view line) override { std::cout << line << '\n'; }
};

// Collects the message lines; the generation rewrites its summary as it goes.
class CollectingSink final : public quarvo::MessageSink {
public:
    void Append(std::string_view line) override { lines.emplace_back(line); }
    void Clear() override { lines.clear(); }
    std::vector<std::string> lines;
};

// A progress line on the standard error, refreshed a few times a second.
class TerminalProgress final : public quarvo::Progress {
public:
    TerminalProgress() : enabled_(isatty(STDERR_FILENO) != 0), start_(Clock::now()), last_(start_) {}
    ~TerminalProgress() override {
        if (shown_) std::cerr << '\n';
    }
    void Update(std::int64_t states, std::int64_t transitions) override {
        if (!enabled_) return;
        Clock::time_point now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        double seconds = std::chrono::duration<double>(now - start_).count();
        std::cerr << "\r" << states << " états, " << transitions << " transitions, "
                  << static_cast<std::int64_t>(seconds > 0 ? states / seconds : 0) << " états/s   " << std::flush;
        shown_ = true;
    }

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point last_;
};

// Compiles path, printing the compile command's lines; null on any error.
std::shared_ptr<quarvo::Compilation> CompileFile(const std::string& path) {
    quarvo::TextFileResult file = quarvo::ReadTextFile(path);
    if (!file.error.empty()) {
        std::cerr << "calvento : " << file.error << '\n';
        return nullptr;
    }
    std::error_code ec;
    std::string startDirectory = std::filesystem::current_path(ec).string();
    quarvo::VectorLineSource source(file.lines);
    StdoutSink sink;
    quarvo::CompileOutcome outcome = quarvo::CompileSpecification(source, startDirectory, sink);
    if (!outcome.tablesLoaded) {
        std::cerr << "calvento : compilation abandonnée. " << outcome.tableError << '\n';
        return nullptr;
    }
    return outcome.ok() ? outcome.compilation : nullptr;
}

bool ParseCount(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoll(text);
    return value > 0;
}

int Generate(const std::vector<std::string>& args) {
    quarvo::GenerationSettings settings;
    std::string input, stemPath, autPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string number;
        if (a == "--help" || a == "-h") {
            std::cout << kGenerateUsage;
            return 0;
        } else if (a == "--entrelacement") {
            settings.semantics = quarvo::Semantics::Interleaving;
        } else if (a == "--cpbr") {
            settings.cpbrOff = false;
        } else if (a == "--max-etats") {
            if (!value(number) || !ParseCount(number, settings.maxStates)) {
                std::cerr << "calvento : --max-etats attend un nombre entier positif.\n";
                return 2;
            }
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
            std::cerr << "calvento : option inconnue « " << a << " ».\n\n" << kGenerateUsage;
            return 2;
        } else if (input.empty()) {
            input = a;
        } else {
            std::cerr << kGenerateUsage;
            return 2;
        }
    }
    if (input.empty()) {
        std::cerr << kGenerateUsage;
        return 2;
    }
    std::shared_ptr<quarvo::Compilation> compilation = CompileFile(input);
    if (!compilation) return 2;

    quarvo::StemStore store;
    CollectingSink messages;
    quarvo::GenerationResult result;
    {
        TerminalProgress progress;
        result = quarvo::GenerateStem(compilation, settings, store, messages, &progress);
    }
    for (const std::string& line : messages.lines) std::cout << line << '\n';
    if (!stemPath.empty()) {
        std::string error = quarvo::WriteClassicStem(stemPath, store, store.StemStateCount);
        if (!error.empty()) {
            std::cerr << "calvento : " << error << '\n';
            return 2;
        }
    }
    if (!autPath.empty()) {
        std::string error = quarvo::WriteAut(autPath, store);
        if (!error.empty()) {
            std::cerr << "calvento : " << error << '\n';
            return 2;
        }
    }
    return result.interrupted ? 3 : 0;
}

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
    if (command == "generate") return Generate(args);
    std::cerr << "calvento : commande inconnue « " << command << " ».\n\n" << kUsage;
    return 2;
}
