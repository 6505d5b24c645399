// Modules over dlopen. A bare module name is looked for beside the program
// first, as Windows does, then on the loader's search path.
#include "handles.h"
#include "text.h"

#include <algorithm>
#include <climits>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace {

std::string programFolder()
{
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/'));
}

HMODULE loadModule(const std::string &name)
{
    if (name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void *h = nullptr;
    if (name.find('/') == std::string::npos) {
        std::string beside = programFolder() + "/" + name;
        if (::access(beside.c_str(), F_OK) == 0) h = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!h) h = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) SetLastError(name.find('/') == std::string::npos || ::access(name.c_str(), F_OK) != 0
                             ? ERROR_MOD_NOT_FOUND
                             : ERROR_BAD_FORMAT);
    return h;
}

std::string moduleFileName(HMODULE hModule)
{
    if (!hModule) {
        char buf[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }
    link_map *map = nullptr;
    if (::dlinfo(hModule, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name) {
        return moduleFileName(nullptr); // the program itself
    }
    return map->l_name;
}

} // namespace

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) { return loadModule(lpLibFileName ? lpLibFileName : ""); }

extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) { return loadModule(orvex::win32::toUtf8(lpLibFileName)); }

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    if (!hModule || !lpProcName) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void *p = ::dlsym(hModule, lpProcName);
    if (!p) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(p);
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    if (!hLibModule || ::dlclose(hLibModule) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// Copies the path like Windows: cut to nSize - 1 characters with
// ERROR_INSUFFICIENT_BUFFER when it does not fit, returning the count copied.
template <typename Char> static DWORD copyName(const std::basic_string<Char> &name, Char *out, DWORD nSize)
{
    if (!out || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (name.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    DWORD n = static_cast<DWORD>(name.size());
    if (n >= nSize) {
        std::copy_n(name.data(), nSize - 1, out);
        out[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::copy_n(name.data(), n, out);
    out[n] = 0;
    return n;
}

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    return copyName(moduleFileName(hModule), lpFilename, nSize);
}

extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    std::string name = moduleFileName(hModule);
    return copyName(orvex::win32::fromUtf8(name.c_str()), lpFilename, nSize);
}

extern "C" BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE *phModule)
{
    if (!phModule) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *phModule = nullptr;
    void *h = nullptr;
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        Dl_info info{};
        if (!::dladdr(reinterpret_cast<const void *>(lpModuleName), &info) || !info.dli_fname) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        h = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        if (!h) h = ::dlopen(nullptr, RTLD_NOW); // the program itself
    } else if (!lpModuleName) {
        h = ::dlopen(nullptr, RTLD_NOW);
    } else {
        h = ::dlopen(orvex::win32::toUtf8(lpModuleName).c_str(), RTLD_NOW | RTLD_NOLOAD);
    }
    if (!h) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) ::dlclose(h);
    *phModule = h;
    return TRUE;
}

extern "C" BOOL WINAPI DisableThreadLibraryCalls(HMODULE) { return TRUE; }
