// Test values in the POSIX layer's in-process registry.
#include <string.h>

#include "registry.h"
#include "winposix.h"

bool test_registry_set_raw(const char *key_path, const char *value_name, uint32_t type,
                           const void *data, uint32_t size)
{
    return winposix_registry_set(HKEY_CURRENT_USER, key_path, value_name, type, data, size) ==
           ERROR_SUCCESS;
}

bool test_registry_set_string(const char *key_path, const char *value_name, const char *data)
{
    return test_registry_set_raw(key_path, value_name, REG_SZ, data,
                                 static_cast<uint32_t>(strlen(data) + 1));
}

// The in-process registry holds only what tests put there.
void test_registry_cleanup(const char *)
{
    winposix_registry_clear();
}
