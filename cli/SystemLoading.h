// Reading or generating the system a command works on: a specification, a STEM file or an .aut file.
#pragma once

#include <cstdint>
#include <string>

#include "generation/GenerationTypes.h"
#include "generation/StemStore.h"

namespace calvento {

struct ModelOptions {
    std::string path;
    quarvo::GenerationSettings settings;
};

// Reads or generates the model; prints why it failed and returns false.
// stoppedAtDeadlock, when given, tells a generation stopped at the end of
// the first level holding a deadlock (settings.stopAtDeadlockLevel), and
// explored how many states it explored.
bool LoadSystem(const ModelOptions& options, quarvo::StemStore& store, bool* stoppedAtDeadlock = nullptr,
                std::int64_t* explored = nullptr);

}  // namespace calvento
