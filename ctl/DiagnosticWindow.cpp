// The diagnostic window.
#include "ctl/DiagnosticWindow.h"

TForm6::TForm6(quarvo::AppContext& app) : app_(app) { setWindowTitle("Diagnostic"); }
