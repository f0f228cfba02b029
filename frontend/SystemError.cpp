// French reasons of system errors.
#include "frontend/SystemError.h"

#include <cerrno>
#include <string>

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
        case EBADF: return "descripteur de fichier invalide (sortie fermée ?)";
        case EINVAL: return "argument invalide";
        case EINTR: return "appel système interrompu";
        case EBUSY: return "ressource occupée";
        case EAGAIN: return "ressource momentanément indisponible";
        case EMLINK: return "trop de liens";
        case ENOTEMPTY: return "dossier non vide";
        case ESPIPE: return "déplacement impossible dans ce fichier";
        case ENODEV: return "périphérique introuvable";
        default: break;
    }
    // The system's own words are English: the number at least tells which.
    return "erreur système n° " + std::to_string(errnum);
}

std::string SystemErrorReason(const std::error_code& code) {
    if (code.category() == std::generic_category() || code.category() == std::system_category())
        return SystemErrorReason(code.value());
    return code.message();
}

}  // namespace quarvo
