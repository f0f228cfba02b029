// The front end's error report: one message line, prefixed with the line number, and the stop flags.
#pragma once

#include <string>
#include <string_view>

#include "frontend/CoreInterfaces.h"
#include "frontend/Identifier32.h"

namespace quarvo {

// The flags of one compilation.
struct CompileFlags {
    bool stop = false;
    bool success = true;          // compileOk
    bool semanticSuccess = true;  // cleared by the resolution of process calls
};

class ErrorReporter {
public:
    ErrorReporter(MessageSink& sink, CompileFlags& flags) : sink_(sink), flags_(flags) {}

    // Sets the stop flag, clears success and appends
    // "(ligne:" line ") " message " -> " name, or message "." when name is blank,
    // followed by " (colonne:" column ")" when a column (1-based) is given:
    // the place of the token at fault in its line, then by
    // " ; trouvé : « " found " »" when the symbol that stopped the parse is given.
    void ReportError(std::string_view message, const Identifier32& name, int line, int column = 0,
                     std::string_view found = {});

    // Appends a line as it is.
    void Append(std::string_view line) { sink_.Append(line); }

    // The status field of the compilation dialog: the last error text, or the
    // text the compilation sets.
    std::string status;

private:
    MessageSink& sink_;
    CompileFlags& flags_;
};

// The text of a report without the line prefix.
std::string ErrorText(std::string_view message, const Identifier32& name);

}  // namespace quarvo
