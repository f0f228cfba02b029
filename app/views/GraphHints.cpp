// The mouse rules of the graph viewer, as its hint line gives them.
#include "app/views/GraphHints.h"

namespace quarvo {
namespace {

const char* const MouseRules =
    "Clic gauche : dessine à cet endroit le successeur suivant de l'état courant (rouge). "
    "Clic droit sur un état vert : il devient l'état courant. "
    "Double clic droit sur un état, puis bouton gauche enfoncé en glissant : déplace l'état. "
    "Ctrl + molette : zoom.";
// The current state has all its successors drawn: another is to be chosen.
const char* const NoCurrentRules =
    "Aucun état n'est courant. Clic droit sur un état vert : il devient l'état courant (rouge). "
    "Clic gauche : dessine à cet endroit le successeur suivant de l'état courant. "
    "Double clic droit sur un état, puis bouton gauche enfoncé en glissant : déplace l'état. "
    "Ctrl + molette : zoom.";
// When every drawn state has all its successors drawn, no state is current.
const char* const CompleteRules =
    "Tous les successeurs des états dessinés sont dessinés : aucun état n'est courant. "
    "Double clic droit sur un état, puis bouton gauche enfoncé en glissant : déplace l'état. "
    "Ctrl + molette : zoom.";
// A path is only read: the clicks draw nothing.
const char* const TraceRules =
    " à son dernier état : chaque flèche est l'arc emprunté. "
    "Double clic droit sur un état, puis bouton gauche enfoncé en glissant : déplace l'état. "
    "Ctrl + molette : zoom.";

// An abstraction is only read too.
const char* const ReadOnlyRules =
    " Double clic droit sur un état, puis bouton gauche enfoncé en glissant : déplace l'état. "
    "Ctrl + molette : zoom.";

}  // namespace

std::string AbstractionHint(const std::string& description) { return description + ReadOnlyRules; }

std::string GraphHint(bool path, bool current, bool lime, const std::string& pathKind, bool leftToRight) {
    if (path)
        return pathKind + (leftToRight ? ", de l'état initial (à gauche)" : ", de l'état initial (en haut)") +
               TraceRules;
    if (current) return MouseRules;
    return lime ? NoCurrentRules : CompleteRules;
}

}  // namespace quarvo
