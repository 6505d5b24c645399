// Class objects of the process: those registered with CoRegisterClassObject,
// then whatever the in-process server locator finds. Every call into an
// object or the locator is made without holding the table lock, so a class
// factory may itself create objects.
#include <orvexcom.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

struct Registration {
    DWORD cookie;
    CLSID clsid;
    IUnknown *object; // one reference held
    DWORD context;
};

struct ClassTable {
    std::mutex lock;
    std::condition_variable locatorIdle;
    std::vector<Registration> registrations;
    DWORD nextCookie = 1;
    OrvexClassObjectLocator locator = nullptr;
    void *locatorContext = nullptr;
    int locatorCalls = 0; // calls of the current locator still running
    OrvexFreeUnusedLibrariesHandler freeHandler = nullptr;
    void *freeContext = nullptr;
};

ClassTable &table()
{
    static ClassTable t;
    return t;
}

} // namespace

extern "C" HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD,
                                                LPDWORD lpdwRegister)
{
    if (!pUnk || !lpdwRegister) return E_INVALIDARG;
    pUnk->AddRef();
    ClassTable &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    DWORD cookie = t.nextCookie++;
    t.registrations.push_back({cookie, rclsid, pUnk, dwClsContext ? dwClsContext : (DWORD)CLSCTX_INPROC_SERVER});
    *lpdwRegister = cookie;
    return S_OK;
}

extern "C" HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister)
{
    IUnknown *object = nullptr;
    {
        ClassTable &t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        for (auto it = t.registrations.begin(); it != t.registrations.end(); ++it) {
            if (it->cookie == dwRegister) {
                object = it->object;
                t.registrations.erase(it);
                break;
            }
        }
    }
    if (!object) return CO_E_OBJNOTREG;
    object->Release();
    return S_OK;
}

extern "C" HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID *ppv)
{
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    ClassTable &t = table();
    IUnknown *registered = nullptr;
    OrvexClassObjectLocator locator = nullptr;
    void *context = nullptr;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        for (const Registration &r : t.registrations) {
            if (IsEqualGUID(r.clsid, rclsid) && (r.context & dwClsContext)) {
                registered = r.object;
                registered->AddRef();
                break;
            }
        }
        if (!registered && (dwClsContext & CLSCTX_INPROC_SERVER) && t.locator) {
            locator = t.locator;
            context = t.locatorContext;
            ++t.locatorCalls;
        }
    }
    if (registered) {
        HRESULT hr = registered->QueryInterface(riid, ppv);
        registered->Release();
        return hr;
    }
    if (!locator) return REGDB_E_CLASSNOTREG;
    HRESULT hr = locator(rclsid, riid, ppv, context);
    {
        std::lock_guard<std::mutex> guard(t.lock);
        --t.locatorCalls;
    }
    t.locatorIdle.notify_all();
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

extern "C" HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                           LPVOID *ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, (void **)&factory);
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

extern "C" void WINAPI CoFreeUnusedLibraries(void)
{
    ClassTable &t = table();
    OrvexFreeUnusedLibrariesHandler handler;
    void *context;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        handler = t.freeHandler;
        context = t.freeContext;
    }
    if (handler) handler(context);
}

extern "C" void OrvexSetClassObjectLocator(OrvexClassObjectLocator locator, void *context)
{
    ClassTable &t = table();
    std::unique_lock<std::mutex> guard(t.lock);
    // Wait for the calls of the locator being replaced, so its context may be
    // freed once this returns.
    t.locatorIdle.wait(guard, [&t] { return t.locatorCalls == 0; });
    t.locator = locator;
    t.locatorContext = context;
}

extern "C" void OrvexSetFreeUnusedLibrariesHandler(OrvexFreeUnusedLibrariesHandler handler, void *context)
{
    ClassTable &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.freeHandler = handler;
    t.freeContext = context;
}
