// Error records and message catalogue.
#include "fslib.h"
