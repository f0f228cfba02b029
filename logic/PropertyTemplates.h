// The formulas the properties window offers as examples, each with its French
// explanation: they teach the logic by what users check first.
#pragma once

#include <string>
#include <vector>

namespace quarvo::logic {

struct PropertyTemplate {
    std::string title;        // the menu item
    std::string explanation;  // one or two sentences, put in a comment above the formula
    std::string formula;      // with the actions A and B to be replaced
};

const std::vector<PropertyTemplate>& PropertyTemplates();

// The text the editor receives: the explanation as a comment "(* … *)", then the formula.
std::string TemplateText(const PropertyTemplate& t);

}  // namespace quarvo::logic
