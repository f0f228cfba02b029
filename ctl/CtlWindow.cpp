// The CTL checker window.
#include "ctl/CtlWindow.h"

TForm5::TForm5(quarvo::AppContext& app) : app_(app) { setWindowTitle("QUARVO - Calvento - CTL-STEM Checker"); }

void TForm5::OpenNewFormula() { show(); }

void TForm5::StemChanged() {}
