// Compiled without vector instructions on x86 (see tests/CMakeLists.txt).
#include "plain_lineends.h"

#include "lineends_kernel.h"

LINEENDS_ENTRY_POINTS(, plain_lineends, "plain", static)
