// The arguments of the desktop program.
#include "app/CommandLine.h"

namespace quarvo {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (const std::string& a : arguments) {
        if (!optionsEnded && (a == "--help" || a == "-h")) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (!optionsEnded && a == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            line.action = CommandLine::Action::Error;
            line.error = "quarvo : option inconnue « " + a + " ».";
        } else if (line.file.empty()) {
            line.file = a;
        } else if (line.action != CommandLine::Action::Error) {
            line.action = CommandLine::Action::Error;
            line.error = "quarvo : un seul fichier à la fois (« " + a + " » en trop).";
        }
    }
    return line;
}

}  // namespace quarvo
