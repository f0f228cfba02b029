// The example formulas and their explanations.
#include "logic/PropertyTemplates.h"

namespace quarvo::logic {

const std::vector<PropertyTemplate>& PropertyTemplates() {
    static const std::vector<PropertyTemplate> templates = {
        {"Absence de blocage",
         "Tout état accessible a un successeur. Une terminaison réussie (après delta) met aussi cette formule en "
         "défaut ; le bouton « Blocages » la met à part.",
         "[true*] <true> true"},
        {"Sûreté : « jamais A »", "Aucune exécution ne fait l'action A. Remplacez A par une action du système.",
         "[true* . A] false"},
        {"Sûreté : « jamais deux A sans B entre eux »",
         "Après un A, un second A n'arrive jamais sans qu'un B ait eu lieu entre les deux.",
         "[true* . A . (not B)* . A] false"},
        {"Vivacité : « après A, B reste toujours possible »",
         "Après tout A, quoi qu'il arrive ensuite, une suite d'actions mène encore à B.",
         "[true* . A . true*] <true* . B> true"},
        {"Inévitabilité : « tout chemin finit par atteindre A »",
         "Sur tout chemin, A finit par arriver. Attention : aucune hypothèse d'équité n'est faite ; un cycle qui "
         "évite A pour toujours, même s'il ne laisse jamais sa chance à un autre processus, met la formule en "
         "défaut, comme un état bloqué avant A.",
         "mu X . <true> true and [not A] X"},
        {"Boucle interne accessible",
         "Vraie quand une suite d'actions mène à un cycle d'actions internes (tau : I et les actions cachées "
         "I_…) : le système peut alors tourner sans fin sans rien montrer. La trace est un lasso.",
         "<true*> nu X . <tau> X"},
    };
    return templates;
}

std::string TemplateText(const PropertyTemplate& t) { return "(* " + t.explanation + " *)\n" + t.formula; }

}  // namespace quarvo::logic
