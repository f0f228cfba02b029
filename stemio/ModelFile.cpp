// To be written.
#include "stemio/ModelFile.h"
