// The picture window.
#include "stemio/StemDot.h"

TSTEMJPG::TSTEMJPG(quarvo::AppContext& app) : app_(app) { setWindowTitle("STEM alpha-réduit (via DOT)"); }
