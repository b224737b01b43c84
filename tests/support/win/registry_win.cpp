// Test values in the real registry.
#include <windows.h>

#include <string.h>

#include "registry.h"

bool test_registry_set_raw(const char *key_path, const char *value_name, uint32_t type,
                           const void *data, uint32_t size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, value_name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool test_registry_set_string(const char *key_path, const char *value_name, const char *data)
{
    return test_registry_set_raw(key_path, value_name, REG_SZ, data,
                                 static_cast<uint32_t>(strlen(data) + 1));
}

void test_registry_cleanup(const char *key_path)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, key_path);
    RegDeleteKeyA(HKEY_CURRENT_USER, key_path);
}
