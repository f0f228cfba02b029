// The go-to-state dialog of the explorer.
#include "views/GoToState.h"

TForm9::TForm9(quarvo::AppContext& app) : app_(app) { setWindowTitle("Aller à l'état"); }
