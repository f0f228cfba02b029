// Edit distance between names and the nearest action of a STEM.
#include "ctl/ActionSuggestion.h"

#include <algorithm>

#include "ctl/Labelling.h"

namespace quarvo {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::size_t NameDistance(std::string_view a, std::string_view b) {
    // One row of the Levenshtein table at a time.
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t change = diagonal + (Upper(a[i - 1]) == Upper(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, change});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string NearestName(std::string_view word, const std::vector<std::string>& candidates) {
    constexpr std::size_t MaxDistance = 2;
    std::string best;
    std::size_t bestDistance = MaxDistance + 1;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = NameDistance(word, candidate);
        // At distance 0 the word names the action; a distance of the word's
        // length would replace every letter of it.
        if (distance == 0 || distance >= word.size() || distance >= bestDistance) continue;
        best = candidate;
        bestDistance = distance;
    }
    return best;
}

std::vector<std::string> StemActionNames(const StemStore& store) {
    const std::vector<bool> used = UsedActions(store);
    std::vector<std::string> names;
    for (std::size_t id = 0; id < used.size(); ++id)
        if (used[id]) names.push_back(store.actions.Text(static_cast<ActionId>(id)));
    return names;
}

std::vector<std::string> SuggestActions(const StemStore& store, const std::vector<std::string>& atoms) {
    std::vector<std::string> suggestions;
    if (atoms.empty()) return suggestions;
    const std::vector<std::string> names = StemActionNames(store);
    suggestions.reserve(atoms.size());
    for (const std::string& atom : atoms) suggestions.push_back(NearestName(atom, names));
    return suggestions;
}

std::string UnknownAtomsWarning(const std::vector<std::string>& atoms, const std::vector<std::string>& suggestions) {
    std::string text = UnknownAtomsWarning(atoms);
    for (std::size_t i = 0; i < atoms.size() && i < suggestions.size(); ++i) {
        if (suggestions[i].empty()) continue;
        text += atoms.size() == 1 ? " " + suggestions[i] + " ?" : " " + atoms[i] + " : " + suggestions[i] + " ?";
    }
    return text;
}

}  // namespace quarvo
