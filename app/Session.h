// What the running program works on: the compilation, the current STEM, the settings and the formula.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ctl/CtlSession.h"
#include "frontend/SyntaxTree.h"
#include "generation/StemStore.h"
#include "generation/Semantics.h"

namespace quarvo {

// Which file the external tool chain produces.
enum class OutputKind { AlphaReduced, Gpm };

// One per application (a window test makes a fresh one). The windows receive
// it by reference; none keeps a copy of what it holds.
struct Session {
    explicit Session(std::string directory) : startDirectory(directory), ctl(std::move(directory)) {}

    // The working directory when the program started; the tables are looked for below it.
    std::string startDirectory;

    // The last successful compilation (null before the first one).
    std::shared_ptr<const Compilation> compilation;

    // The current STEM, generated or read back from a file, and the semantics it was built under.
    StemStore stem;
    bool hasStem = false;
    Semantics stemSemantics = Semantics::Maximality;
    // The file the current STEM was read back from; empty when it was generated
    // from the specification.
    std::string stemFileName;

    // The generation settings of the "Génération" menu.
    Semantics semantics = Semantics::Maximality;
    bool cpbrOff = true;
    // The generation dialog's memory limit in megabytes; 0 for the machine's available memory.
    std::int64_t memoryLimitMb = 0;
    // Threads of the exploration; 0: one per core.
    int threads = 0;

    // The external tool chain's output kind.
    OutputKind outputKind = OutputKind::Gpm;

    // The checker's compiled formula and labels.
    CtlSession ctl;

    // The file the main window shows (a specification, or a STEM file read
    // back); empty for a new specification. The file dialogs open in its
    // folder and propose its name, else the last folder chosen in one.
    std::string documentPath;
    std::string lastFolder;

    // True while a generation or a regeneration runs: nothing may touch the STEM then.
    bool busy = false;
};

}  // namespace quarvo
