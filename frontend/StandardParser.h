// The reader of the standard (ISO 8807) syntax of basic LOTOS: it builds the
// very tree the dialect's parser builds, so that everything after the front
// end is the same whichever syntax a specification is written in.
#pragma once

#include <functional>
#include <memory>

#include "frontend/CoreInterfaces.h"
#include "frontend/ErrorReport.h"
#include "frontend/SyntaxTree.h"

namespace quarvo {

// How deeply the standard reader lets a text nest (parentheses, binders and
// definitions inside definitions, each counting one): deeper is refused
// ("Expression trop imbriquée") rather than the stack exhausted. The writers
// refuse what the reader would.
inline constexpr int MaxSpecificationNesting = 1000;

// Reads the whole text; errors go through reporter with their line and
// column, warnings (a functionality the behaviour contradicts) as lines of
// their own. compileOk of the result tells whether the text was accepted.
// memoryLow, when given, is asked every so many nodes made while gate
// choices and gate parallelisms are expanded: true refuses the text.
std::shared_ptr<Compilation> CompileStandardText(const LineSource& source, ErrorReporter& reporter,
                                                 CompileFlags& flags, const std::function<bool()>& memoryLow = {});

}  // namespace quarvo
