// The example formulas of the checker.
#include "ctl/FormulaExamples.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quarvo {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A name the formula lexer reads as an operator, not as an atom.
bool IsKeyword(const std::string& name) {
    static constexpr std::array<const char*, 11> keywords = {"A",   "E",  "U",   "X",    "G",    "F",
                                                             "AND", "OR", "NOT", "TRUE", "FALSE"};
    const std::string upper = Upper(name);
    return std::any_of(keywords.begin(), keywords.end(), [&upper](const char* k) { return upper == k; });
}

// The internal action and the hidden ones.
bool IsHidden(const std::string& name) {
    const std::string upper = Upper(name);
    return upper == "I" || upper.rfind("I_", 0) == 0;
}

}  // namespace

std::vector<FormulaExample> FormulaExamples(const std::vector<std::string>& actions) {
    std::vector<std::string> names;
    for (const bool hidden : {false, true})
        for (const std::string& a : actions)
            if (!IsKeyword(a) && IsHidden(a) == hidden && std::find(names.begin(), names.end(), a) == names.end())
                names.push_back(a);
    if (names.empty()) names = {"P", "Q"};
    const std::string p = names[0];
    const std::string q = names.size() > 1 ? names[1] : names[0];
    return {
        {"A G (E X TRUE)", "Aucun blocage : chaque état atteignable a au moins un successeur."},
        {"E F " + p, p + " peut avoir lieu : un état dont un événement maximal porte " + p + " est atteignable."},
        {"A F " + p, "Sur tous les chemins, " + p + " finit par avoir lieu."},
        {"A G (" + p + " => A F " + q + ")",
         "Chaque fois que " + p + " a lieu, " + q + " finit par avoir lieu, sur tous les chemins."},
        {"A G NOT (" + p + " AND " + q + ")",
         p + " et " + q + " n'ont jamais lieu en même temps (exclusion mutuelle)."},
        {"E [ NOT " + q + " U " + p + " ]", "Sur un chemin au moins, " + p + " a lieu avant " + q + "."},
        {"A G (E F " + p + ")",
         p + " reste toujours possible : de chaque état atteignable, un état où " + p + " a lieu est atteignable."},
        {"E F (" + p + " : 2)",
         "Deux événements " + p + " peuvent être en cours en même temps (deux événements maximaux portent " + p +
             ")."},
    };
}

}  // namespace quarvo
