// Generating a benchmark's model once, outside the timed loop.
#pragma once

#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "generation/Generator.h"

namespace quarvo::bench {

// The interleaving STEM of a specification text; null, with the reason in
// error, when it does not compile or its generation does not finish.
inline std::unique_ptr<StemStore> GenerateInterleaving(const std::string& text, const char*& error) {
    const CompileOutcome compiled = CompileText(text);
    if (!compiled.ok()) {
        error = "the generated specification does not compile";
        return nullptr;
    }
    GenerationSettings settings;
    settings.semantics = Semantics::Interleaving;
    auto store = std::make_unique<StemStore>();
    const GenerationResult result = GenerateStem(compiled.compilation, settings, *store);
    if (result.abandoned || result.interrupted) {
        error = "the generation did not finish";
        return nullptr;
    }
    return store;
}

}  // namespace quarvo::bench
