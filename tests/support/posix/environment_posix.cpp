#include <stdlib.h>

#include "environment.h"

void test_set_env(const char *name, const char *value)
{
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}
