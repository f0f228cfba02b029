// Breadth-first exploration of states kept as vectors of the operands of their parallel structure.
#pragma once

#include <memory>

#include "frontend/SyntaxTree.h"
#include "generation/GenerationTypes.h"
#include "generation/LevelExploration.h"
#include "generation/StemStore.h"

namespace quarvo {

// Explores every configuration reachable from the compilation's behaviour
// into store, as the term engine would (the same numbers, arcs, events and
// files), with each state a vector of component terms and its identity a
// vector kept in a tree-compressed table. False, the store untouched, when
// the behaviour has no parallel structure at its root: the term engine is
// then the one to use.
bool ExploreVectors(const std::shared_ptr<const Compilation>& compilation, const GenerationSettings& settings,
                    StemStore& store, ExplorationShared& shared, GenerationResult& result);

}  // namespace quarvo
