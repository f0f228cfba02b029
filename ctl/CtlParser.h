// The simple-precedence parser of CTL formulas and the compile command built on it.
#pragma once

#include <string>

#include "ctl/Formula.h"
#include "ctl/PrecedenceTable.h"
#include "frontend/CoreInterfaces.h"
#include "frontend/Status.h"

namespace quarvo {

constexpr const char* FormulaErrorCaption = "Erreur lors de la compilation...";
constexpr const char* FormulaCompiledMessage = "Compilation terminée avec succès.";
constexpr const char* FormulaCompiledCaption = "Compilation...";

// One production of the grammar: left symbol and right-hand side, one character per symbol.
struct FormulaProduction {
    char left;
    const char* right;
};
constexpr int FormulaProductionCount = 28;
// Production n (1..28) is FormulaProductions[n - 1].
extern const FormulaProduction FormulaProductions[FormulaProductionCount];

struct FormulaError {
    std::string message;  // the message alone
    int line = 0;         // 1-based
    int column = 0;       // 1-based; 0 when the message is reported with its line only
    // The text of the message box: the message, then " (ligne:" line " colonne:" column ")".
    std::string Text() const;
};

struct FormulaCompileResult {
    bool accepted = false;
    // On success the formula; after a syntax error the nodes created so far,
    // with no MainFormula.
    CompiledFormula formula;
    FormulaError error;  // the lexical or syntax error, when not accepted
    Status tables;       // failed when Preced.tab could not be read: nothing was parsed
    bool ok() const { return accepted; }
    // What the user is told: the table's message, the error's text, or nothing.
    std::string Message() const { return !tables ? tables.message() : accepted ? std::string() : error.Text(); }
};

constexpr const char* EmptyFormulaMessage = "Formule vide.";

// Lexes and parses the whole text of lines as one formula with the given matrix.
// Terminates on any matrix content. A text without formula (blanks and line
// ends only) is refused with EmptyFormulaMessage, placed at the end of the text.
// A syntax error right after an atom spelled like a quantifier glued to its
// operator ("AG", "ef"...) adds to its message how to write them (TextbookHint).
FormulaCompileResult CompileFormula(const LineSource& lines, const PrecedenceTable& table);

// The same, reading Preced.tab from the tables directory found for startDirectory first.
FormulaCompileResult CompileFormula(const LineSource& lines, const std::string& startDirectory);

// The message of a syntax-error code (3 to 14; anything else is "Erreur syntaxique.");
// token is the upper-case text of the current token, topIsParen tells whether
// the stack's top is "(".
std::string FormulaSyntaxMessage(int code, const std::string& token, bool topIsParen);

// For an identifier (upper case) that is a path quantifier and a temporal
// operator written as one word (AG, AF, AX, EG, EF, EX, AU, EU), the hint
// " (écrire « A G » : quantificateur et opérateur séparés)" with its letters;
// otherwise an empty text. Such a word is an atom all the same.
std::string TextbookHint(const std::string& identifier);

}  // namespace quarvo
