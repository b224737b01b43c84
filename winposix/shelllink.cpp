// The shell link class and its interfaces by their well-known identifiers.
// No component object system runs here, so creating any object fails as it
// does on a thread that never initialised one.
#include "internal.h"

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000,
                               {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000,
                             {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000,
                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID iid,
                         void **object)
{
    (void)clsid;
    (void)outer;
    (void)context;
    (void)iid;
    if (object)
        *object = nullptr;
    return CO_E_NOTINITIALIZED;
}
