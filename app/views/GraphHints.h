// The lines of help under the graph viewer's drawing: what the mouse does there.
#pragma once

#include <string>

namespace quarvo {

// The mouse rules for a drawing of a path (a verdict's trace, named by
// pathKind: "Trace du blocage", "Lasso"…, which the clicks do not unfold),
// or of the STEM with a current state, or without one but with a lime state
// to choose, or with every successor drawn. UTF-8.
// leftToRight: the path reads from the left (Graphe > De gauche à droite).
std::string GraphHint(bool path, bool current, bool lime, const std::string& pathKind = "Chemin du diagnostic",
                      bool leftToRight = false);

// The line under an abstraction's quotient: what it is, then what the mouse still does.
std::string AbstractionHint(const std::string& description);

}  // namespace quarvo
