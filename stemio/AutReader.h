// Reader of transition systems in the Aldebaran format (.aut), the format the
// other process-algebra toolboxes exchange.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/CoreInterfaces.h"
#include "frontend/Status.h"
#include "generation/Progress.h"
#include "generation/StemStore.h"

namespace quarvo {

inline constexpr const char* AutReadOutOfMemoryText = "Mémoire insuffisante : la lecture du fichier .aut a été abandonnée.";

struct AutReadResult {
    // Ok, or the failure: at a line of the text, line() the 1-based line and
    // message() "Erreur dans le fichier .aut ligne N : " and what is wrong
    // (the file named after ".aut" when read from a file);
    // or of the reading itself, line() 0: the file could not be read, or
    // memory ran out or neared its limit (outOfMemory, AutReadOutOfMemoryText).
    Status status;
    bool outOfMemory = false;
    // The system read, when ok: an interleaving STEM without events, every
    // arc with event 0 and no causes. Its states are those the header
    // announces, numbered as in the file except that the initial state and
    // state 0 trade their numbers (every STEM starts from state 0); each
    // state sits at the position of its number, and its arcs are read back
    // (StateView::Arcs) in the order of the file. The internal action, "i" or
    // "tau" in the file, is "I". StemStateCount is the number of states.
    StemStore stem;
};

// Reads the lines of an .aut text: a header "des (initial, arcs, states)",
// then one arc per line, "(source, "label", target)" or with the label
// unquoted. Blank lines are skipped, and a UTF-8 byte-order mark before the
// header. The label runs from the first comma to the last: a quoted one is
// any text up to its closing quote (commas, blanks, "!", "?", parentheses,
// digits), an unquoted one everything up to the comma before the target,
// whatever its length; it is kept whole, byte for byte (ActionTable::
// InternText). "i" and "tau" are the internal action. Throws nothing:
// running out of memory fails the reading, as does nearing memoryLimit
// (bytes, 0 for the machine's memory only; see MemoryWatch), checked as the
// arcs come and before the states the header announces are made. The
// tables are sized from what the text holds, not from the header. progress,
// when given, receives Update(states, arcs so far) every 1024 arcs and once
// at the end; the reading cannot be stopped, it is linear in the text.
// Messages show a file's control bytes as \xNN.
AutReadResult ReadAut(LineStream& lines, Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// The same over the lines of a LineSource (an editor, a test).
AutReadResult ReadAut(const LineSource& lines, Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// The same straight from a file, read in chunks (CR LF, LF or a lone CR end a
// line): the size of the file is no limit, and bounds the room first given
// to the arcs. The messages name the file.
AutReadResult ReadAutFile(const std::string& path, Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// "Erreur dans le fichier .aut ligne N : " followed by what; with a path,
// "Erreur dans le fichier .aut « path » ligne N : ".
std::string AutReadErrorText(int line, const std::string& what, const std::string& path = {});

}  // namespace quarvo
