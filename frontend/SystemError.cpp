// French reasons of system errors.
#include "frontend/SystemError.h"

#include <cerrno>
#include <cstring>

namespace quarvo {

std::string SystemErrorReason(int errnum) {
    switch (errnum) {
        case ENOENT: return "fichier ou dossier introuvable";
        case EACCES:
        case EPERM: return "permission refusée";
        case ENOSPC: return "disque plein";
        case EROFS: return "système de fichiers en lecture seule";
        case EISDIR: return "c'est un dossier";
        case ENOTDIR: return "un élément du chemin n'est pas un dossier";
        case ENAMETOOLONG: return "nom trop long";
        case ELOOP: return "trop de liens symboliques";
#ifdef EDQUOT
        case EDQUOT: return "quota de disque dépassé";
#endif
        case EEXIST: return "le fichier existe déjà";
        case EIO: return "erreur d'entrée-sortie";
        case ENOMEM: return "mémoire insuffisante";
        case EMFILE:
        case ENFILE: return "trop de fichiers ouverts";
        case EFBIG: return "fichier trop volumineux";
        case EXDEV: return "le fichier et sa destination ne sont pas sur le même système de fichiers";
        case ETXTBSY: return "fichier en cours d'utilisation";
        case EPIPE: return "plus personne ne lit le tube";
        case ENXIO: return "aucun lecteur à l'autre bout";
        case ECONNREFUSED: return "personne n'écoute sur la socket";
        default: break;
    }
    return std::strerror(errnum);
}

std::string SystemErrorReason(const std::error_code& code) {
    if (code.category() == std::generic_category() || code.category() == std::system_category())
        return SystemErrorReason(code.value());
    return code.message();
}

}  // namespace quarvo
