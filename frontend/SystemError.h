// The reason of a failed system call, in French, for the messages of the core.
#pragma once

#include <string>
#include <system_error>

namespace quarvo {

// The French reason for an errno value: "fichier ou dossier introuvable",
// "permission refusée", "disque plein"...; for a value without its own
// wording, the system's own text.
std::string SystemErrorReason(int errnum);

// The same for an error code of std::filesystem or of a system call; the
// code's own message when it is of another category.
std::string SystemErrorReason(const std::error_code& code);

}  // namespace quarvo
