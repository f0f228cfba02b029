// The lines of help under the graph viewer's drawing: what the mouse does there.
#pragma once

namespace quarvo {

// The mouse rules for a drawing of a path (a trace of the diagnostic, which
// the clicks do not unfold), or of the STEM with a current state, or without
// one but with a lime state to choose, or with every successor drawn. UTF-8.
const char* GraphHint(bool path, bool current, bool lime);

}  // namespace quarvo
