// The exploration over MPI processes on state vectors, for a behaviour with a parallel structure at its root.
#pragma once

#include <memory>

#include "distributed/Exchange.h"
#include "distributed/OwnedStem.h"
#include "frontend/SyntaxTree.h"
#include "generation/GenerationTypes.h"

namespace quarvo {

// As ExploreDistributed (DistributedExploration.h), each state a vector of its components' terms. False,
// on every process alike and with nothing done, when the behaviour has no
// parallel structure at its root (the terms are then the ones to send).
bool ExploreDistributedVectors(Peers& peers, const std::shared_ptr<const Compilation>& compilation,
                               const GenerationSettings& settings, OwnedStem& stem, LevelProgress* progress,
                               ProcessFigures& figures, GenerationResult& result);

}  // namespace quarvo
