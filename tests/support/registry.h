// Values in the registry for tests, through the platform itself: the real
// registry on Windows, the POSIX layer's in-process registry elsewhere.
// Keys live below HKEY_CURRENT_USER; key paths use '\' separators and are
// created as needed.
#ifndef TESTS_REGISTRY_H
#define TESTS_REGISTRY_H

#include <stdint.h>

// A string value, stored with its terminating zero counted.
bool test_registry_set_string(const char *key_path, const char *value_name, const char *data);

// A value of any type with exactly the given bytes.
bool test_registry_set_raw(const char *key_path, const char *value_name, uint32_t type,
                           const void *data, uint32_t size);

// Removes the key with everything below it.
void test_registry_cleanup(const char *key_path);

#endif
