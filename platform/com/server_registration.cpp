// Registration of a module's COM classes in the registry and of its filters
// with the system's filter mapper. This file uses no library templates: a
// program that links the static library without registering anything must
// never have it pulled in for a shared template instance.
#include <windows.h>

#include <uuids.h>

#include <cstdint>

#include "dllsetup.h"

namespace {

// "CLSID\{...}"
struct ClsidKeyName {
    WCHAR text[6 + CHARS_IN_GUID];
    explicit ClsidKeyName(REFCLSID clsid)
    {
        lstrcpyW(text, L"CLSID\\");
        StringFromGUID2(clsid, text + 6, CHARS_IN_GUID);
    }
    LPCWSTR c_str() const { return text; }
};

DWORD textBytes(LPCWSTR s)
{
    return static_cast<DWORD>((lstrlenW(s) + 1) * sizeof(WCHAR));
}

HRESULT RegisterAllServers(LPCWSTR szFileName, BOOL bRegister)
{
    HRESULT hr = NOERROR;
    for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); i++) {
        const CFactoryTemplate *pT = &g_Templates[i];
        if (bRegister) {
            hr = AMovieSetupRegisterServer(*(pT->m_ClsID), pT->m_Name, szFileName);
        } else {
            hr = AMovieSetupUnregisterServer(*(pT->m_ClsID));
        }
    }
    return hr;
}

} // namespace

STDAPI AMovieSetupRegisterServer(CLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName, LPCWSTR szThreadingModel,
                                 LPCWSTR szServerType)
{
    CheckPointer(szDescription, E_POINTER);
    CheckPointer(szFileName, E_POINTER);
    CheckPointer(szThreadingModel, E_POINTER);
    CheckPointer(szServerType, E_POINTER);
    HKEY hkey;
    LONG lReturn = RegCreateKeyW(HKEY_CLASSES_ROOT, ClsidKeyName(clsServer).c_str(), &hkey);
    if (lReturn != ERROR_SUCCESS) return AmHresultFromWin32(lReturn);

    lReturn = RegSetValueW(hkey, NULL, REG_SZ, szDescription, textBytes(szDescription));
    if (lReturn != ERROR_SUCCESS) {
        RegCloseKey(hkey);
        return AmHresultFromWin32(lReturn);
    }
    HKEY hsubkey;
    lReturn = RegCreateKeyW(hkey, szServerType, &hsubkey);
    if (lReturn != ERROR_SUCCESS) {
        RegCloseKey(hkey);
        return AmHresultFromWin32(lReturn);
    }
    lReturn = RegSetValueW(hsubkey, NULL, REG_SZ, szFileName, textBytes(szFileName));
    if (lReturn == ERROR_SUCCESS) {
        lReturn = RegSetValueExW(hsubkey, L"ThreadingModel", 0L, REG_SZ,
                                 reinterpret_cast<const BYTE *>(szThreadingModel), textBytes(szThreadingModel));
    }
    RegCloseKey(hsubkey);
    RegCloseKey(hkey);
    return HRESULT_FROM_WIN32(static_cast<uint32_t>(lReturn));
}

STDAPI AMovieSetupUnregisterServer(CLSID clsServer)
{
    return EliminateSubKey(HKEY_CLASSES_ROOT, ClsidKeyName(clsServer).c_str());
}

STDAPI EliminateSubKey(HKEY hkey, LPCWSTR strSubKey)
{
    if (strSubKey == NULL || lstrlenW(strSubKey) == 0) return E_FAIL;
    HKEY hk;
    LONG lreturn = RegOpenKeyExW(hkey, strSubKey, 0, KEY_ALL_ACCESS, &hk);
    if (lreturn != ERROR_SUCCESS) return NOERROR; // nothing to delete
    // Delete the first subkey until there is none; stop if one cannot be
    // deleted, so a protected key cannot keep this loop going.
    for (;;) {
        WCHAR Buffer[MAX_PATH];
        DWORD dw = MAX_PATH;
        FILETIME ft;
        lreturn = RegEnumKeyExW(hk, 0, Buffer, &dw, NULL, NULL, NULL, &ft);
        if (lreturn != ERROR_SUCCESS) break;
        if (FAILED(EliminateSubKey(hk, Buffer))) break;
    }
    RegCloseKey(hk);
    lreturn = RegDeleteKeyW(hkey, strSubKey);
    return lreturn == ERROR_SUCCESS ? NOERROR : AmHresultFromWin32(lreturn);
}

STDAPI AMovieDllRegisterServer2(BOOL bRegister)
{
    WCHAR achFileName[MAX_PATH];
    if (GetModuleFileNameW(AmGetModuleInstance(), achFileName, MAX_PATH) == 0) {
        return AmHresultFromWin32(GetLastError());
    }

    HRESULT hr = NOERROR;
    if (bRegister) hr = RegisterAllServers(achFileName, TRUE);

    if (SUCCEEDED(hr)) {
        // Initialisation is counted, so this works whether or not the caller
        // initialised COM; only a successful call is undone.
        HRESULT hrInit = CoInitialize(NULL);

        IFilterMapper2 *pIFM2 = NULL;
        IFilterMapper *pIFM = NULL;
        hr = CoCreateInstance(CLSID_FilterMapper2, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, (void **)&pIFM2);
        if (FAILED(hr)) {
            hr = CoCreateInstance(CLSID_FilterMapper, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper, (void **)&pIFM);
        }
        if (SUCCEEDED(hr)) {
            for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); i++) {
                const CFactoryTemplate *pT = &g_Templates[i];
                if (pT->m_pAMovieSetup_Filter == NULL) continue;
                if (pIFM2) {
                    hr = AMovieSetupRegisterFilter2(pT->m_pAMovieSetup_Filter, pIFM2, bRegister);
                } else {
                    hr = AMovieSetupRegisterFilter(pT->m_pAMovieSetup_Filter, pIFM, bRegister);
                }
            }
            if (pIFM2) pIFM2->Release();
            if (pIFM) pIFM->Release();
        }
        CoFreeUnusedLibraries();
        if (SUCCEEDED(hrInit)) CoUninitialize();
    }

    if (SUCCEEDED(hr) && !bRegister) hr = RegisterAllServers(achFileName, FALSE);
    return hr;
}

STDAPI AMovieDllRegisterServer(void)
{
    return AMovieDllRegisterServer2(TRUE);
}

STDAPI AMovieDllUnregisterServer(void)
{
    return AMovieDllRegisterServer2(FALSE);
}
