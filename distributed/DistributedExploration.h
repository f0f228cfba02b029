// The exploration spread over MPI processes: each owns the states whose encoding hashes to it.
#pragma once

#include <memory>
#include <ostream>

#include "distributed/Exchange.h"
#include "distributed/OwnedStem.h"
#include "frontend/SyntaxTree.h"
#include "generation/GenerationTypes.h"
#include "generation/StemWriter.h"

namespace quarvo {

// Explores the compilation's behaviour over every process of peers, each
// one calling this with the same compilation and settings. States, arcs,
// events and numbers are those of the one-process generation, whatever the
// number of processes; the result is the same on every process.
GenerationResult ExploreDistributed(Peers& peers, const std::shared_ptr<const Compilation>& compilation,
                                    const GenerationSettings& settings, OwnedStem& stem, LevelProgress* progress,
                                    ProcessFigures& figures);

// Collective: the classic STEM text, or the .aut text, of the states every
// process holds, written to out on process 0 (which may be null, to let the
// others finish when rank 0 writes nothing).
void StreamClassicStem(Peers& peers, const OwnedStem& stem, std::ostream* out);
void StreamAut(Peers& peers, const OwnedStem& stem, const AutOptions& options, std::ostream* out);

}  // namespace quarvo
