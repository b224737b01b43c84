// The line-ending passes built once more for the tests, without vector
// instructions where the compiler allows it (x86): the code a 32-bit program
// runs on a processor without SSE2, which the processors here never pick.
#ifndef TESTS_PLAIN_LINEENDS_H
#define TESTS_PLAIN_LINEENDS_H

#include "lineends_variants.h"

extern const LineendsVariant plain_lineends;

#endif
