// Breadth-first exploration on state vectors, level by level, on several threads.
#pragma once

#include <memory>

#include "frontend/SyntaxTree.h"
#include "generation/GenerationTypes.h"
#include "generation/LevelExploration.h"
#include "generation/StemStore.h"

namespace quarvo {

// As ExploreVectors, on at most threads threads (made as the levels need them): each derives the successors of its
// share of a level in engines of its own (they share the state identities),
// looking them up in the state table, which only the numbering pass between
// two levels changes; that pass numbers the new states in the order of their
// first discoverer (source, then arc), as one thread does. False, the store
// untouched, when the behaviour has no parallel structure at its root.
bool ExploreVectorLevels(const std::shared_ptr<const Compilation>& compilation, const GenerationSettings& settings,
                         unsigned threads, StemStore& store, ExplorationShared& shared, GenerationResult& result);

}  // namespace quarvo
