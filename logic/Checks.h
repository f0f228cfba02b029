// What a parsed formula must satisfy before it is evaluated (each fixpoint
// variable bound once, used positively, no alternation), and the warnings of
// the actions it names that the system has not.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frontend/Status.h"
#include "logic/Formula.h"

namespace quarvo::logic {

// Ok, or the first fault in the order of the text, worded as the parser's
// faults ("Erreur dans la formule, colonne C : ..."): a variable bound twice,
// a variable bound by no mu or nu, one used under an odd number of negations
// (the left side of implies counts as one), or a variable used inside a
// fixpoint of the other kind that is itself inside the variable's own. The
// kind of a fixpoint is the one it has once negations are pushed down to the
// variables; a modality whose regular formula holds * or + is a fixpoint,
// mu for <R>, nu for [R].
Status CheckFormula(const Formula& formula, std::string_view text);

// One line per distinct action name of the formula that no label of the
// system carries, in the order of the text: "Attention : aucune action
// « NAME » dans le système." with " (voulez-vous dire « OTHER » ?)" before the
// final period when a label is one or two letters away.
std::vector<std::string> UnknownActionWarnings(const Formula& formula, const std::vector<std::string>& labels);

// The edit distance between two names (insertions, deletions, substitutions).
int EditDistance(std::string_view a, std::string_view b);

}  // namespace quarvo::logic
