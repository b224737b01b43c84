// The scanning code built for processors with AVX2 and the population count
// instruction (this file alone is compiled for them): blocks are marked 32
// bytes at a time, and the copying conversion moves 32 bytes at a time.
// Only internal functions are defined here, so that nothing built for
// AVX2 is shared with code that runs on any processor.
#define LINEENDS_WIDE 1
#include "lineends_kernel.h"

LINEENDS_ENTRY_POINTS(, lineends_avx2, "avx2", static)
