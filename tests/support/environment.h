// Process environment for tests, set through the platform itself so that
// the platform's own expansion sees it.
#ifndef TESTS_ENVIRONMENT_H
#define TESTS_ENVIRONMENT_H

// Sets a variable, or removes it when value is null.
void test_set_env(const char *name, const char *value);

#endif
