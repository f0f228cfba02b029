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

// Lexes and parses the whole text of lines as one formula with the given matrix.
// Terminates on any matrix content; a text without formula is accepted with
// an empty formula.
FormulaCompileResult CompileFormula(const LineSource& lines, const PrecedenceTable& table);

// The same, reading Preced.tab from the tables directory found for startDirectory first.
FormulaCompileResult CompileFormula(const LineSource& lines, const std::string& startDirectory);

// The message of a syntax-error code (3 to 14; anything else is "Erreur syntaxique.");
// token is the upper-case text of the current token, topIsParen tells whether
// the stack's top is "(".
std::string FormulaSyntaxMessage(int code, const std::string& token, bool topIsParen);

}  // namespace quarvo
