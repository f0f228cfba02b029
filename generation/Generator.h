// Breadth-first exploration of the configurations of a compiled specification into the STEM store.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/GenerationTypes.h"
#include "generation/Progress.h"
#include "generation/Semantics.h"
#include "generation/StemStore.h"

namespace quarvo {

// The warning of a STEM some of whose events are named -1, the generation
// having had more simultaneous events than names; said after a generation and
// after a reading of such a STEM.
inline constexpr const char* EventNamesExhaustedWarning =
    "Attention : plus de 30 événements simultanés, des noms d'événements sont -1.";

// The line the message list shows while a generation runs.
inline constexpr const char* GenerationRunningMessage = "Génération en cours...";

// Explores every configuration reachable from the system's behaviour and
// replaces the store's STEM with the result; reports progress and asks for a
// stop through progress. Throws nothing: running out of memory ends the
// exploration and is told in the result.
GenerationResult GenerateStem(std::shared_ptr<const Compilation> compilation, const GenerationSettings& settings,
                              StemStore& store, Progress* progress = nullptr);

// The lines of the message list after a generation: the counts, the warnings,
// then how it ended. None for an abandoned generation.
std::vector<std::string> GenerationSummaryLines(const GenerationResult& result);

}  // namespace quarvo
