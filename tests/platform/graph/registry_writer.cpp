// A second process for the registry tests.
//   graph_registry_writer write PREFIX COUNT   makes Writers\PREFIX\0..COUNT-1, each with its index
//   graph_registry_writer die                  is killed while writing a change to the file
// The registry file comes from ORVEX_REGISTRY.
#include <winreg.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "registry_store.h"

namespace {

int writeKeys(const char *prefix, int count)
{
    for (int i = 0; i < count; ++i) {
        std::wstring path =
            L"Writers\\" + std::wstring(prefix, prefix + std::strlen(prefix)) + L"\\" + std::to_wstring(i);
        HKEY key = nullptr;
        if (RegCreateKeyW(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) return 1;
        DWORD index = static_cast<DWORD>(i);
        LONG status = RegSetValueExW(key, L"Index", 0, REG_DWORD, reinterpret_cast<BYTE *>(&index), sizeof(index));
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return 1;
    }
    return 0;
}

void killSelf()
{
    std::raise(SIGKILL);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "write") == 0) return writeKeys(argv[2], std::atoi(argv[3]));
    if (argc == 2 && std::strcmp(argv[1], "die") == 0) {
        orvex::registry::SetRegistryWriteHookForTesting(killSelf);
        HKEY key = nullptr;
        RegCreateKeyW(HKEY_CLASSES_ROOT, L"Doomed", &key);
        return 3; // not reached: the hook kills the process half-way through the write
    }
    return 64;
}
