// The action of a STEM that a misspelt atom most likely meant.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "generation/StemStore.h"

namespace quarvo {

// The fewest letters to insert, remove or change to turn a into b, letters
// compared in upper case, as atoms and actions are.
std::size_t NameDistance(std::string_view a, std::string_view b);

// The candidate nearest to word when it is one or two letters away and keeps
// at least one letter of word; the first of the nearest in the list; empty
// when none is that near.
std::string NearestName(std::string_view word, const std::vector<std::string>& candidates);

// The names of the actions that the STEM in store uses (borne by an arc or by
// an event of a state), each once, in the order of its action table.
std::vector<std::string> StemActionNames(const StemStore& store);

// For each atom, NearestName among the STEM's actions ("" when none is near).
std::vector<std::string> SuggestActions(const StemStore& store, const std::vector<std::string>& atoms);

// The warning about unknown atoms (UnknownAtomsWarning) followed by the
// suggestions: " GET ?" after a single atom, " GETT : GET ?" for each atom
// that has one among several.
std::string UnknownAtomsWarning(const std::vector<std::string>& atoms, const std::vector<std::string>& suggestions);

}  // namespace quarvo
