// Registration support for a module's class table: the COM class keys under
// HKEY_CLASSES_ROOT\CLSID and the filters' entries in the filter mapper.
// A module's DllRegisterServer and DllUnregisterServer call
// AMovieDllRegisterServer2(TRUE) and AMovieDllRegisterServer2(FALSE).
#pragma once

#include <windows.h>
#include <winreg.h>

#include "combase.h"

// Registers (or unregisters) every COM class of g_Templates, then every
// filter that has setup data with the system's filter mapper.
STDAPI AMovieDllRegisterServer2(BOOL bRegister);
STDAPI AMovieDllRegisterServer(void);
STDAPI AMovieDllUnregisterServer(void);

// "CLSID\{clsid}" with the description as default value, and its subkey
// szServerType with the module path and the ThreadingModel value.
STDAPI AMovieSetupRegisterServer(CLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName,
                                 LPCWSTR szThreadingModel = L"Both", LPCWSTR szServerType = L"InprocServer32");
STDAPI AMovieSetupUnregisterServer(CLSID clsServer);

// Removes any earlier registration of the filter, then (bRegister) registers
// it with its name, merit, pins and media types. A filter that was not
// registered (0x80070002) is no failure. S_FALSE without setup data.
STDAPI AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER *const psetupdata, IFilterMapper2 *pIFM2, BOOL bRegister);
STDAPI AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER *const psetupdata, IFilterMapper *pIFM, BOOL bRegister);

// Deletes strSubKey of hkey with all its subkeys.
STDAPI EliminateSubKey(HKEY hkey, LPCWSTR strSubKey);

// A Win32 error as a result code; 0 gives E_UNEXPECTED, since a caller that
// asks for it has seen a failure.
inline HRESULT AmHresultFromWin32(DWORD dwWin32Error)
{
    return dwWin32Error == 0 ? E_UNEXPECTED : HRESULT_FROM_WIN32(dwWin32Error);
}
