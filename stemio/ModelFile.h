// A transition system from a file of any kind the program reads: a LOTOS
// specification (compiled and generated), a classic STEM file or an .aut file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/Status.h"
#include "generation/Progress.h"
#include "generation/Semantics.h"
#include "generation/StemStore.h"

namespace quarvo {

enum class ModelKind { Specification, ClassicStem, Aut };

// By the file's extension, in any case: .LOT, .STEM, .aut; a failure (French
// message naming the file) for any other.
Status ModelKindOf(const std::string& path, ModelKind& kind);

struct LoadedModel {
    Status status;          // the failure, in French (compile errors: see messages)
    bool stopped = false;   // the caller stopped the generation
    StemStore stem;         // the system, when ok
    // The compiler's message lines when the specification did not compile.
    std::vector<std::string> messages;
};

// Reads or generates the system of path. A specification is compiled with the
// tables found from tablesDirectory and generated under semantics, without
// bound. The generation or the reading stops, with a French message, before
// the memory in use nears memoryLimit bytes (0: the machine's memory and the
// address-space limit of the process).
LoadedModel LoadModel(const std::string& path, Semantics semantics, const std::string& tablesDirectory,
                      Progress* progress = nullptr, std::int64_t memoryLimit = 0);

}  // namespace quarvo
