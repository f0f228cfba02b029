// Reading or generating the system a command works on.
#include "cli/SystemLoading.h"

#include <iostream>

#include "cli/CliSupport.h"
#include "generation/Generator.h"
#include "stemio/ModelFile.h"

namespace calvento {

bool LoadSystem(const ModelOptions& options, quarvo::StemStore& store, bool* stoppedAtDeadlock,
                std::int64_t* explored) {
    quarvo::ModelKind kind = quarvo::ModelKind::Specification;
    if (const quarvo::Status s = quarvo::ModelKindOf(options.path, kind); !s) {
        std::cerr << "calvento : " << s.message() << '\n';
        return false;
    }
    TerminalProgress progress;
    if (kind != quarvo::ModelKind::Specification) {
        quarvo::LoadedModel model = quarvo::LoadModel(options.path, options.settings.semantics, StartDirectory(), &progress);
        if (!model.status) {
            std::cerr << "calvento : " << model.status.message() << '\n';
            return false;
        }
        store = std::move(model.stem);
        return true;
    }
    CollectingSink compileLines;
    std::shared_ptr<quarvo::Compilation> compilation = CompileFile(options.path, compileLines);
    if (!compilation) {
        for (const std::string& line : compileLines.lines) std::cout << line << '\n';
        return false;
    }
    const quarvo::GenerationResult result = quarvo::GenerateStem(compilation, options.settings, store, &progress);
    if (result.abandoned) {
        OutOfMemory();
        return false;
    }
    if (result.stoppedAtDeadlock && !result.stoppedByBound && stoppedAtDeadlock) {
        *stoppedAtDeadlock = true;
        *explored = result.exploredStates;
        return true;
    }
    if (result.stoppedByMemory) {
        std::cout << "Génération interrompue : mémoire insuffisante (" << result.states
                  << " états) : verdict inconnu.\n";
        return false;
    }
    if (result.stoppedByBound || result.interrupted) {
        std::cout << "Génération arrêtée à " << result.states << " états (--max-etats) : verdict inconnu.\n";
        return false;
    }
    return true;
}

}  // namespace calvento
