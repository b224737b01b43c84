#include <windows.h>

#include "environment.h"

void test_set_env(const char *name, const char *value)
{
    SetEnvironmentVariableA(name, value);
}
