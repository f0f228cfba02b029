// Loading a transition system from a specification, a classic STEM file or an .aut file.
#include "stemio/ModelFile.h"

#include <new>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"
#include "generation/Generator.h"
#include "stemio/AutReader.h"
#include "stemio/StemReader.h"

namespace quarvo {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// path ends with extension (upper case), whatever the case of path.
bool HasExtension(const std::string& path, std::string_view extension) {
    if (path.size() <= extension.size()) return false;
    const std::size_t from = path.size() - extension.size();
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (Upper(path[from + i]) != extension[i]) return false;
    return true;
}

// Failures that name the file, since a command may read two.
Failure Named(const std::string& path, const std::string& what) { return Failure{"« " + path + " » : " + what}; }

void LoadSpecification(const std::string& path, Semantics semantics, const std::string& tablesDirectory,
                       Progress* progress, std::int64_t memoryLimit, LoadedModel& model) {
    TextFileResult file = ReadTextFile(path);
    if (!file.status) {
        model.status = file.status;
        return;
    }
    VectorLineSource source(file.lines);
    class Lines final : public MessageSink {
    public:
        explicit Lines(std::vector<std::string>& lines) : lines_(lines) {}
        void Append(std::string_view line) override { lines_.emplace_back(line); }
        void Clear() override { lines_.clear(); }

    private:
        std::vector<std::string>& lines_;
    } sink(model.messages);
    const CompileOutcome outcome = CompileSpecification(source, tablesDirectory, sink);
    if (!outcome.tables) {
        model.status = Named(path, "compilation abandonnée. " + outcome.tables.message());
        return;
    }
    if (!outcome.ok()) {
        model.status = Failure{"La spécification « " + path + " » contient des erreurs."};
        return;
    }
    // Only the messages of a failed compilation are kept.
    model.messages.clear();
    GenerationSettings settings;
    settings.semantics = semantics;
    settings.memoryLimit = memoryLimit;
    const GenerationResult result = GenerateStem(outcome.compilation, settings, model.stem, progress);
    if (result.abandoned) {
        model.status = Failure{"Mémoire insuffisante : la génération de « " + path + " » a été abandonnée."};
    } else if (result.stoppedByMemory) {
        // A part of the system is no answer to any question about the whole.
        model.status = Failure{"Génération de « " + path + " » interrompue : mémoire insuffisante (" +
                               std::to_string(result.states) + " états)."};
    } else if (result.interrupted) {
        model.stopped = true;
    }
    if (!model.status || model.stopped) model.stem = StemStore{};
}

void LoadClassicStem(const std::string& path, Progress* progress, std::int64_t memoryLimit, LoadedModel& model) {
    StemReadResult read = ReadClassicStemFile(path, progress, memoryLimit);
    if (read.outOfMemory || read.ReadingFailed()) {
        model.status = read.status;
    } else if (!read.status) {
        model.status = Failure{"Erreur dans le fichier STEM « " + path + " » ligne " +
                                   std::to_string(read.status.line()) + ".",
                               read.status.line()};
    } else {
        model.stem = std::move(read.stem);
    }
}

void LoadAut(const std::string& path, Progress* progress, std::int64_t memoryLimit, LoadedModel& model) {
    AutReadResult read = ReadAutFile(path, progress, memoryLimit);
    if (read.outOfMemory) model.status = Failure{"Mémoire insuffisante : la lecture de « " + path + " » a été abandonnée."};
    else if (!read.status) model.status = read.status;
    else model.stem = std::move(read.stem);
}

}  // namespace

Status ModelKindOf(const std::string& path, ModelKind& kind) {
    if (HasExtension(path, ".LOT") || HasExtension(path, ".LOTOS")) kind = ModelKind::Specification;
    else if (HasExtension(path, ".STEM")) kind = ModelKind::ClassicStem;
    else if (HasExtension(path, ".AUT")) kind = ModelKind::Aut;
    else return Failure{"Fichier « " + path + " » : extension inconnue (attendu .LOT, .lotos, .STEM ou .aut)."};
    return {};
}

LoadedModel LoadModel(const std::string& path, Semantics semantics, const std::string& tablesDirectory,
                      Progress* progress, std::int64_t memoryLimit) {
    LoadedModel model;
    ModelKind kind = ModelKind::Specification;
    model.status = ModelKindOf(path, kind);
    if (!model.status) return model;
    try {
        switch (kind) {
            case ModelKind::Specification:
                LoadSpecification(path, semantics, tablesDirectory, progress, memoryLimit, model);
                break;
            case ModelKind::ClassicStem:
                LoadClassicStem(path, progress, memoryLimit, model);
                break;
            case ModelKind::Aut:
                LoadAut(path, progress, memoryLimit, model);
                break;
        }
    } catch (const std::bad_alloc&) {
        // Compiling or reading a specification too large for the machine.
        model.stem = StemStore{};
        model.messages.clear();
        model.status = Failure{"Mémoire insuffisante : le chargement de « " + path + " » a été abandonné."};
    }
    return model;
}

}  // namespace quarvo
