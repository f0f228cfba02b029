// Formatting of the front end's error lines.
#include "frontend/ErrorReport.h"

namespace quarvo {

std::string ErrorText(std::string_view message, const Identifier32& name) {
    std::string text(message);
    if (name.IsBlank()) text += ".";
    else text += " -> " + name.Text();
    return text;
}

void ErrorReporter::ReportError(std::string_view message, const Identifier32& name, int line) {
    flags_.stop = true;
    flags_.success = false;
    status = ErrorText(message, name);
    sink_.Append("(ligne:" + std::to_string(line) + ") " + status);
}

}  // namespace quarvo
