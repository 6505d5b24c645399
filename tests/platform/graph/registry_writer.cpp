// A second process for the registry tests (the file comes from ORVEX_REGISTRY):
//   graph_registry_writer write PREFIX COUNT   makes Writers\PREFIX\0..COUNT-1, each with its Index
//   graph_registry_writer die                  is killed half-way through writing a change
#include <winreg.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "registry_store.h"

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "die") == 0) {
        orvex::registry::SetRegistryWriteHookForTesting([] { std::raise(SIGKILL); });
        HKEY key = nullptr;
        RegCreateKeyW(HKEY_CLASSES_ROOT, L"Doomed", &key);
        return 3; // not reached: the hook kills the process
    }
    if (argc != 4 || std::strcmp(argv[1], "write") != 0) return 64;
    for (int i = 0; i < std::atoi(argv[3]); ++i) {
        std::wstring path =
            L"Writers\\" + std::wstring(argv[2], argv[2] + std::strlen(argv[2])) + L"\\" + std::to_wstring(i);
        HKEY key = nullptr;
        DWORD index = static_cast<DWORD>(i);
        if (RegCreateKeyW(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) return 1;
        LONG status = RegSetValueExW(key, L"Index", 0, REG_DWORD, reinterpret_cast<BYTE *>(&index), sizeof(index));
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return 1;
    }
    return 0;
}
