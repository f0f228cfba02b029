// Writers of a STEM: the classic STEM text file and the Aldebaran (.aut) format.
#pragma once

#include <iosfwd>
#include <string>

#include "frontend/Status.h"
#include "generation/StemStore.h"

namespace quarvo {

// The classic STEM text, "BEGIN n;", one line per state, "END" without a line
// end, put on out in chunks: a STEM of any size is written without its whole
// text ever being held.
void WriteClassicStem(std::ostream& out, const StemStore& store, std::int32_t stateCount);

// The whole classic STEM text, for small STEMs.
std::string ClassicStemText(const StemStore& store, std::int32_t stateCount);

// Ok when a classic STEM file can hold every action of store: a letter, then
// letters, digits or "_", 32 characters at most (the labels of another
// toolset's .aut file may not be); else the failure, in French, naming the
// first that cannot be held.
Status StemCanHold(const StemStore& store);

// Writes the classic STEM file through a temporary file renamed over path;
// fails, writing nothing, when the file cannot hold an action (StemCanHold).
Status WriteClassicStem(const std::string& path, const StemStore& store, std::int32_t stateCount);

struct AutOptions {
    // Write each hidden action under its own name "I_…" (which other tools
    // read as a visible action) rather than as the internal action i.
    bool keepHiddenNames = false;
};

// The transition system in the Aldebaran format: "des (0, M, N)", then one line
// "(source, "action", target)" per arc, every internal action ("I" and each
// hidden "I_…") written i unless options keep the hidden names.
void WriteAut(std::ostream& out, const StemStore& store, const AutOptions& options = {});

// Writes the .aut file the same way.
Status WriteAut(const std::string& path, const StemStore& store, const AutOptions& options = {});

}  // namespace quarvo
