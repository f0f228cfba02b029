// Writing a compiled specification in the standard (ISO 8807) syntax of basic LOTOS.
#pragma once

#include <string>
#include <vector>

#include "frontend/Status.h"
#include "frontend/SyntaxTree.h"

namespace quarvo {

struct StandardText {
    std::vector<std::string> lines;  // without line ends
    Status status;                   // failed when a name cannot be written
};

// The specification of compilation in the standard syntax: names kept, the
// functionality of each definition computed ("exit" when its behaviour can
// terminate), one operator a line, operands indented, parentheses where the
// standard's precedence needs them. Reading the text back builds the same
// tree. Fails when a name of the specification is a keyword of the standard.
StandardText WriteStandardLotos(const Compilation& compilation);

// The same specification in our dialect (SYSTEM … ENDSYS), laid out alike:
// the other direction, for a text read in the standard syntax.
StandardText WriteDialectLotos(const Compilation& compilation);

}  // namespace quarvo
