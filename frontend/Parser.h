// The table-driven LR parser of LOTOS specifications and the compile command built on it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/CoreInterfaces.h"
#include "frontend/ErrorReport.h"
#include "frontend/Lexer.h"
#include "frontend/ParseTables.h"
#include "frontend/SemanticActions.h"
#include "frontend/Status.h"
#include "frontend/SyntaxTree.h"

namespace quarvo {

// Everything one compilation uses: reader, tables, parse stack and flags.
class CompilerContext {
public:
    CompilerContext(const LineSource& source, const ParseTables& tables, MessageSink& sink);

    // Parses the whole text, building the tree; afterwards compileOk tells the
    // result and, on success, rootBehaviour is the system's behaviour.
    std::shared_ptr<Compilation> Compile();

    // The status field of the compilation dialog.
    const std::string& status() const { return reporter_.status; }

private:
    // Reports the syntax error of that code at token, the token the parser
    // could not take.
    void SyntaxError(int code, const Token& token);

    const ParseTables& tables_;
    CompileFlags flags_;
    ErrorReporter reporter_;
    Lexer lexer_;
    std::shared_ptr<Compilation> compilation_;
    SemanticActions actions_;
    std::vector<ParseStackEntry> stack_;
};

// The message of a syntax-error code of the action table.
const char* SyntaxErrorMessage(int code);

struct CompileOutcome {
    Status tables;  // failed when the tables could not be loaded: nothing else was done
    std::shared_ptr<Compilation> compilation;
    std::string status;  // the compilation dialog's status
    bool ok() const { return compilation && compilation->compileOk; }
};

// The compile command: appends to sink exactly the lines of the message list,
// "Compilation...", the front end's errors, then the closing lines.
// memoryLow, when given, is asked now and then while the gate choices and
// gate parallelisms of the standard syntax are expanded: true stops the
// compilation with a message.
CompileOutcome CompileSpecification(const LineSource& source, const ParseTables& tables, MessageSink& sink,
                                    const std::function<bool()>& memoryLow = {});

// The same, loading the parse tables from the tables directory found for startDirectory.
CompileOutcome CompileSpecification(const LineSource& source, const std::string& startDirectory, MessageSink& sink,
                                    const std::function<bool()>& memoryLow = {});

}  // namespace quarvo
