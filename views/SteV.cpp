// The state-by-state STEM explorer.
#include "views/SteV.h"

TSteVisual::TSteVisual(quarvo::AppContext& app) : app_(app) { setWindowTitle("Calvento - STEM Explorer"); }
