// Reader of transition systems in the Aldebaran format (.aut), the format the
// other process-algebra toolboxes exchange.
#pragma once

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
    // memory ran out (outOfMemory, AutReadOutOfMemoryText).
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
// unquoted (everything up to the last comma). Blank lines are skipped. A
// label is "i" or "tau" (the internal action) or an action name as the
// classic STEM file writes it: a letter, then letters, digits or "_", at
// most 32 characters. Throws nothing: running out of memory fails the
// reading. progress, when given, receives Update(states, arcs so far) every
// 1024 arcs and once at the end; the reading cannot be stopped, it is linear
// in the text.
AutReadResult ReadAut(LineStream& lines, Progress* progress = nullptr);

// The same over the lines of a LineSource (an editor, a test).
AutReadResult ReadAut(const LineSource& lines, Progress* progress = nullptr);

// The same straight from a file, read in chunks (CR LF, LF or a lone CR end a
// line): the size of the file is no limit. The messages name the file.
AutReadResult ReadAutFile(const std::string& path, Progress* progress = nullptr);

// "Erreur dans le fichier .aut ligne N : " followed by what; with a path,
// "Erreur dans le fichier .aut « path » ligne N : ".
std::string AutReadErrorText(int line, const std::string& what, const std::string& path = {});

}  // namespace quarvo
