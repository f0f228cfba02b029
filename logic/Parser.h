// Reading an action formula: the lexer and the recursive-descent parser, with
// the French messages of a malformed formula and their column.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "frontend/Status.h"
#include "logic/Formula.h"

namespace quarvo::logic {

struct ParseResult {
    // Ok, or "Erreur dans la formule, colonne C : ..." ("ligne L, colonne C"
    // when the text has several lines), its line() the 1-based line.
    Status status;
    int line = 0;    // where the fault lies, when failed (1-based)
    int column = 0;
    Formula formula;
};

// How deep a formula may nest (its tree, or its parentheses): the same bound
// as the specification readers'; deeper is refused with a message.
inline constexpr int MaxFormulaNesting = 1000;

// Parses text (lines separated by '\n'; comments "(* … *)" are blanks).
ParseResult ParseFormula(std::string_view text);

// The 1-based line and column (in characters) of a byte offset of text.
std::pair<int, int> FormulaPosition(std::string_view text, std::size_t offset);

// The message of a fault at a byte offset of the text, in the form ParseFormula gives.
std::string FormulaErrorText(std::string_view text, std::size_t offset, const std::string& what);

}  // namespace quarvo::logic
