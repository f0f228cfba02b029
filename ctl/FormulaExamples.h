// Example formulas over the actions of a STEM, each with its meaning in words:
// what the checker's "Exemples" menu offers to insert.
#pragma once

#include <string>
#include <vector>

namespace quarvo {

struct FormulaExample {
    std::string formula;      // "A G (PUT => A F GET)"
    std::string explanation;  // "Chaque fois que PUT a lieu, GET finit par avoir lieu, sur tous les chemins."
};

// The examples written with the first two actions of actions that a formula
// can name (visible ones first; a name that is a keyword of the formulas,
// such as A or X, cannot be one); with P and Q when there are none.
std::vector<FormulaExample> FormulaExamples(const std::vector<std::string>& actions);

}  // namespace quarvo
