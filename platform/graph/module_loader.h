// In-process servers: a module file is loaded once (LoadLibraryW, dlopen
// underneath), its DllGetClassObject hands out class objects, and
// CoFreeUnusedLibraries unloads the modules whose DllCanUnloadNow says S_OK.
// The module of a class comes from the registry's
// "CLSID\{clsid}\InprocServer32".
#pragma once

#include <objbase.h>

#include <mutex>
#include <string>
#include <vector>

namespace orvex::graph {

class ModuleLoader {
public:
    static ModuleLoader &Instance();

    // Loads path (if it is not loaded yet) and asks it for the class object.
    // CO_E_DLLNOTFOUND when the module cannot be loaded, CO_E_ERRORINDLL when
    // it has no DllGetClassObject; otherwise the module's own answer.
    HRESULT GetClassObject(const std::wstring &path, REFCLSID clsid, REFIID riid, void **ppv);
    // The class object of a registered class; REGDB_E_CLASSNOTREG when the
    // registry names no module for it.
    HRESULT GetRegisteredClassObject(REFCLSID clsid, REFIID riid, void **ppv);
    // Unloads every module that answers S_OK to DllCanUnloadNow.
    void FreeUnusedModules();
    // How many modules are loaded, for tests.
    size_t LoadedCount();

private:
    typedef HRESULT(STDAPICALLTYPE *GetClassObjectFn)(REFCLSID, REFIID, void **);
    typedef HRESULT(STDAPICALLTYPE *CanUnloadNowFn)();
    struct Module {
        HMODULE handle;
        GetClassObjectFn getClassObject;
        CanUnloadNowFn canUnloadNow; // may be missing: such a module stays
    };

    // A class factory may create objects of other modules through COM,
    // which comes back here on the same thread.
    std::recursive_mutex m_lock;
    std::vector<Module> m_modules;
};

} // namespace orvex::graph
