// Linux-only additions to the COM library (objbase.h). Windows finds an
// in-process server through the registry; here the program that owns the
// registry and the module loader hands the COM library a locator instead.
#pragma once

#include "objbase.h"

extern "C" {

// Asked by CoGetClassObject for a class that no CoRegisterClassObject call
// registered. Answers the class object's interface riid in *ppv, or a failure
// (REGDB_E_CLASSNOTREG for an unknown class).
typedef HRESULT (*OrvexClassObjectLocator)(REFCLSID rclsid, REFIID riid, void **ppv, void *context);

// Sets the locator (null removes it). Returns once no call to the previous
// locator is still running.
void OrvexSetClassObjectLocator(OrvexClassObjectLocator locator, void *context);

// Called by CoFreeUnusedLibraries, so the module loader can unload modules
// whose DllCanUnloadNow answers S_OK.
typedef void (*OrvexFreeUnusedLibrariesHandler)(void *context);
void OrvexSetFreeUnusedLibrariesHandler(OrvexFreeUnusedLibrariesHandler handler, void *context);

// The number of live task-memory blocks, for leak checks in tests.
LONG OrvexTaskMemBlockCount(void);
}
