// Under Wine, ntdll exports Wine's version; Windows' own ntdll does not.
#include <windows.h>

#include "../system_messages.h"

bool messages_of_wine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
