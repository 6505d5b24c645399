// Loading and unloading in-process servers.
#include "module_loader.h"

#include <algorithm>

#include "filter_store.h"

namespace orvex::graph {

ModuleLoader &ModuleLoader::Instance()
{
    // Never destroyed: modules stay loaded until the process ends, since
    // objects of theirs may outlive any static destructor.
    static ModuleLoader *loader = new ModuleLoader;
    return *loader;
}

HRESULT ModuleLoader::GetClassObject(const std::wstring &path, REFCLSID clsid, REFIID riid, void **ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    HMODULE handle = LoadLibraryW(path.c_str());
    if (!handle) return CO_E_DLLNOTFOUND;
    auto known = std::find_if(m_modules.begin(), m_modules.end(), [&](const Module &m) { return m.handle == handle; });
    if (known != m_modules.end()) {
        FreeLibrary(handle); // loaded already: keep one reference only
    } else {
        auto get = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(handle, "DllGetClassObject")));
        if (!get) {
            FreeLibrary(handle);
            return CO_E_ERRORINDLL;
        }
        auto canUnload =
            reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, "DllCanUnloadNow")));
        m_modules.push_back({handle, get, canUnload});
        known = m_modules.end() - 1;
    }
    // Asked under the lock, so the module cannot be unloaded before the
    // class object it hands out exists (and keeps it loaded).
    HRESULT hr = known->getClassObject(clsid, riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

HRESULT ModuleLoader::GetRegisteredClassObject(REFCLSID clsid, REFIID riid, void **ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::wstring path;
    HRESULT hr = RegisteredModule(clsid, path);
    if (FAILED(hr)) return hr;
    return GetClassObject(path, clsid, riid, ppv);
}

void ModuleLoader::FreeUnusedModules()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto it = m_modules.begin(); it != m_modules.end();) {
        if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
            FreeLibrary(it->handle);
            it = m_modules.erase(it);
        } else {
            ++it;
        }
    }
}

size_t ModuleLoader::LoadedCount()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_modules.size();
}

} // namespace orvex::graph
