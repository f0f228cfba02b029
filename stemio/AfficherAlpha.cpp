// The result window of the external tool chain.
#include "stemio/AfficherAlpha.h"

TFormAfficherAlpha::TFormAfficherAlpha(quarvo::AppContext& app) : app_(app) { setWindowTitle("STEM alpha-réduit"); }
