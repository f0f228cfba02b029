// Formatting of the front end's error lines.
#include "frontend/ErrorReport.h"

namespace quarvo {

std::string ErrorText(std::string_view message, const Identifier32& name) {
    std::string text(message);
    if (name.IsBlank()) text += ".";
    else text += " -> " + name.Text();
    return text;
}

void ErrorReporter::ReportError(std::string_view message, const Identifier32& name, int line, int column,
                                std::string_view found) {
    flags_.stop = true;
    flags_.success = false;
    // The status field keeps the message alone; the list line tells where.
    status = ErrorText(message, name);
    std::string text = "(ligne:" + std::to_string(line) + ") " + status;
    if (column > 0) text += " (colonne:" + std::to_string(column) + ")";
    if (!found.empty()) text += " ; trouvé : « " + std::string(found) + " »";
    sink_.Append(text);
}

}  // namespace quarvo
