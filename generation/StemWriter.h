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

// Writes the classic STEM file through a temporary file renamed over path.
Status WriteClassicStem(const std::string& path, const StemStore& store, std::int32_t stateCount);

// The transition system in the Aldebaran format: "des (0, M, N)", then one line
// "(source, "action", target)" per arc, the internal action "I" written i.
void WriteAut(std::ostream& out, const StemStore& store);

// Writes the .aut file the same way.
Status WriteAut(const std::string& path, const StemStore& store);

}  // namespace quarvo
