// The template chooser's texts and input boxes.
#include "app/Templates.h"

namespace quarvo {

namespace {

// A header, one empty line, then the closing keyword.
std::optional<QString> Block(UserDialogs& dialogs, QWidget* parent, const QString& keyword, const QString& closing,
                             const QString& nameCaption, const QString& namePrompt, const QString& nameValue,
                             const QString& actionsPrompt) {
    QString name = nameValue;
    if (!dialogs.InputQuery(parent, nameCaption, namePrompt, name)) return std::nullopt;
    QString actions;
    if (!dialogs.InputQuery(parent, "Actions observables", actionsPrompt, actions)) return std::nullopt;
    return keyword + " " + name + "[" + actions + "] :=" + "\n\n" + closing;
}

}  // namespace

std::optional<QString> TemplateText(int index, UserDialogs& dialogs, QWidget* parent) {
    switch (index) {
        case 0:
            return Block(dialogs, parent, "SYSTEM", "ENDSYS", "Nom du système", "Donnez un nom au système global: ",
                         "Exemple", "Entrez les actions observables séparées par des virgules: ");
        case 1:
            return Block(dialogs, parent, "PROCESS", "ENDPROC", "Nom du processus", "Donnez un nom au processus: ",
                         "Proc", "Entrez les actions observables du processus séparées par des virgules: ");
        case 2: return QString(" WHERE ");
        case 4: return QString(" NIL ");
        case 5: return QString(" EXIT ");
        case 6: return QString(" [] ");
        case 7: {
            QString gates;
            if (!dialogs.InputQuery(parent, "Portes de synchronisation",
                                    "Entrez les portes de synchronisation séparées par des virgules: ", gates))
                return std::nullopt;
            return " |[ " + gates + " ]| ";
        }
        case 8: return QString(" ||| ");
        case 9: return QString(" || ");
        case 10: {
            QString actions;
            if (!dialogs.InputQuery(parent, "Actions cachées",
                                    "Entrez les actions cachées (ou invisibles) séparées par des virgules: ", actions))
                return std::nullopt;
            return " HIDE " + actions + " IN ";
        }
        case 11: return QString(" >> ");
        case 12: return QString(" [> ");
        // The standard syntax.
        case 14: {
            QString name = "Exemple";
            if (!dialogs.InputQuery(parent, "Nom de la spécification", "Donnez un nom à la spécification: ", name))
                return std::nullopt;
            QString gates;
            if (!dialogs.InputQuery(parent, "Portes observables",
                                    "Entrez les portes observables séparées par des virgules: ", gates))
                return std::nullopt;
            return "specification " + name + " [" + gates + "] : noexit\nbehaviour\n\nendspec";
        }
        case 15: {
            QString name = "Proc";
            if (!dialogs.InputQuery(parent, "Nom du processus", "Donnez un nom au processus: ", name))
                return std::nullopt;
            QString gates;
            if (!dialogs.InputQuery(parent, "Portes du processus",
                                    "Entrez les portes du processus séparées par des virgules: ", gates))
                return std::nullopt;
            return "process " + name + " [" + gates + "] : noexit :=\n\nendproc";
        }
        case 16: return QString(" stop ");
        case 17: return QString(" i; ");
        case 18:
        case 19: {
            QString gates;
            if (!dialogs.InputQuery(parent, "Portes parcourues",
                                    "Entrez les portes que g parcourt, séparées par des virgules: ", gates))
                return std::nullopt;
            return (index == 18 ? " choice g in [" + gates + "] [] " : " par g in [" + gates + "] ||| ");
        }
        default: return std::nullopt;  // the separator, or no entry
    }
}

}  // namespace quarvo
