#include "register_command.h"

#include "exit_status.h"
#include "hresult_names.h"
#include "module_path.h"
#include "movie_loader.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>

namespace orvex {

int runRegister(const std::string &given, bool unregister)
{
    const std::string module = absolutePath(given.empty() ? moduleBesideProgram() : given);
    std::error_code error;
    if (!std::filesystem::is_regular_file(module, error)) {
        std::fprintf(stderr, "orvex: cannot load %s: no such module file\n", module.c_str());
        return kExitNoLoad;
    }
    HMODULE handle = LoadLibraryW(widen(module).c_str());
    if (!handle) {
        std::fprintf(stderr, "orvex: cannot load %s: not a loadable module (error %u)\n", module.c_str(),
                     unsigned(GetLastError()));
        return kExitNoLoad;
    }
    const char *entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    typedef HRESULT(STDAPICALLTYPE * EntryFn)();
    auto fn = reinterpret_cast<EntryFn>(reinterpret_cast<void *>(GetProcAddress(handle, entry)));
    if (!fn) {
        std::fprintf(stderr, "orvex: cannot load %s: it has no %s\n", module.c_str(), entry);
        return kExitNoLoad;
    }
    // The module stays loaded until the program ends: unloading it would
    // orphan the one-time allocations of the libraries it brought in.
    const HRESULT hr = fn();
    if (FAILED(hr)) {
        std::fprintf(stderr, "orvex: %s of %s failed: %s (0x%08X)\n", entry, module.c_str(), hresultName(hr).c_str(),
                     unsigned(hr));
        return kExitFailed;
    }
    std::printf("%s %s\n", unregister ? "unregistered" : "registered", module.c_str());
    return kExitOk;
}

} // namespace orvex
