// Where the registry lives, for programs that show it.
#include <orvexreg.h>

#include <cstring>

#include "registry_store.h"

extern "C" DWORD WINAPI OrvexGetRegistryFileName(LPSTR lpBuffer, DWORD nSize)
{
    std::string path = orvex::registry::RegistryFilePath();
    if (path.empty()) return 0;
    DWORD needed = static_cast<DWORD>(path.size() + 1);
    if (!lpBuffer || nSize < needed) return needed;
    std::memcpy(lpBuffer, path.c_str(), needed);
    return needed - 1;
}
