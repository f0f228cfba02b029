// The output-format choice of the external tool chain.
#include "stemio/Alpha.h"

TFormAlpha::TFormAlpha(quarvo::AppContext& app) : app_(app) { setWindowTitle("Format de sortie"); }

void TFormAlpha::RunDotDirectly() {}
