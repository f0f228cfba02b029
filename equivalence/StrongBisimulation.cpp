// To be written.
#include "equivalence/Equivalence.h"
